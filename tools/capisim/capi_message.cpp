#include "capi_message.h"

#include <array>
#include <cstdio>

namespace capisim {
namespace {

constexpr size_t kDataB3Size = 22;
constexpr size_t kDataB3Size64 = 30;

struct Layout {
    uint8_t command;
    std::array<const char*, 4> formats;  // REQ, CONF, IND, RESP; null: not defined
};

// d = dword, w = word, q = qword, s = struct. The trailing qword of DATA_B3
// REQ/IND is the 64-bit data pointer and may be missing. What follows the
// ManuID of a manufacturer message is that manufacturer's own; only the
// confirmation the exchange writes itself has a defined struct there.
constexpr Layout kLayouts[] = {
    {kAlert, {"ds", "dw", nullptr, nullptr}},
    {kConnect, {"dwsssssssss", "dw", "dwssssssss", "dwsssss"}},
    {kConnectActive, {nullptr, nullptr, "dsss", "d"}},
    {kDisconnect, {"ds", "dw", "dw", "d"}},
    {kListen, {"ddddss", "dw", nullptr, nullptr}},
    {kInfo, {"dss", "dw", "dws", "d"}},
    {kSelectBProtocol, {"ds", "dw", nullptr, nullptr}},
    {kFacility, {"dws", "dwws", "dws", "dws"}},
    {kConnectB3, {"ds", "dw", "ds", "dws"}},
    {kConnectB3Active, {nullptr, nullptr, "ds", "d"}},
    {kDisconnectB3, {"ds", "dw", "dws", "d"}},
    {kDataB3, {"ddwwwq", "dww", "ddwwwq", "dw"}},
    {kResetB3, {"ds", "dw", "ds", "d"}},
    {kConnectB3T90Active, {nullptr, nullptr, "ds", "d"}},
    {kManufacturer, {"dd", "dds", "dd", "dd"}},
};

const char* FormatFor(uint8_t command, uint8_t subcommand) {
    if (subcommand < kReq || subcommand > kResp) return nullptr;
    for (const Layout& layout : kLayouts) {
        if (layout.command == command) return layout.formats[subcommand - kReq];
    }
    return nullptr;
}

class Reader {
public:
    Reader(const Bytes& b, size_t end) : b_(b), end_(end) {}
    size_t Pos() const { return pos_; }
    bool AtEnd() const { return pos_ >= end_; }

    std::optional<uint64_t> Number(size_t size) {
        if (end_ - pos_ < size) return std::nullopt;
        uint64_t v = 0;
        for (size_t i = 0; i < size; ++i) v |= uint64_t(b_[pos_ + i]) << (8 * i);
        pos_ += size;
        return v;
    }

    std::optional<Bytes> Struct() {
        auto length = Number(1);
        if (!length) return std::nullopt;
        if (*length == 0xFF) length = Number(2);
        if (!length || end_ - pos_ < *length) return std::nullopt;
        Bytes s(b_.begin() + pos_, b_.begin() + pos_ + *length);
        pos_ += *length;
        return s;
    }

private:
    const Bytes& b_;
    size_t end_;
    size_t pos_ = kHeaderSize;
};

size_t SizeOf(char kind) {
    return kind == 'd' ? 4 : kind == 'w' ? 2 : 8;
}

// Reads the parameters of format. A message may end before trailing structs
// (they are then empty) or before the optional qword of DATA_B3, never
// inside a field.
std::optional<std::vector<Param>> ReadParams(Reader& r, const char* format) {
    std::vector<Param> params;
    for (const char* f = format; *f; ++f) {
        if (r.AtEnd() && (*f == 's' || *f == 'q')) {
            if (*f == 's') params.emplace_back(Bytes{});
            continue;
        }
        if (*f == 's') {
            auto s = r.Struct();
            if (!s) return std::nullopt;
            params.emplace_back(std::move(*s));
            continue;
        }
        auto v = r.Number(SizeOf(*f));
        if (!v) return std::nullopt;
        params.emplace_back(*v);
    }
    return params;
}

DecodeResult Fail(std::string why) {
    return {std::nullopt, std::move(why)};
}

std::optional<std::string> AttachData(Message& m, const Bytes& body, size_t length) {
    if (length != kDataB3Size && length != kDataB3Size64) return "DATA_B3_REQ has a wrong length";
    size_t dataLength = m.Value(field::kDataLength);
    if (body.size() - length < dataLength) return "DATA_B3_REQ lacks its data";
    m.data.assign(body.begin() + length, body.begin() + length + dataLength);
    return std::nullopt;
}

void PutNumber(Bytes& b, uint64_t v, size_t size) {
    for (size_t i = 0; i < size; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

void PutStruct(Bytes& b, const Bytes& s) {
    if (s.size() < 0xFF) {
        b.push_back(uint8_t(s.size()));
    } else {
        b.push_back(0xFF);
        PutNumber(b, s.size(), 2);
    }
    b.insert(b.end(), s.begin(), s.end());
}

std::string Printable(const Bytes& b, size_t from) {
    std::string text;
    for (size_t i = from; i < b.size(); ++i) {
        if (b[i] >= 0x20 && b[i] < 0x7F) text += char(b[i]);
    }
    return text;
}

}  // namespace

const Bytes& Message::Struct(size_t i) const {
    static const Bytes kEmpty;
    return i < params.size() ? params[i].bytes : kEmpty;
}

DecodeResult Decode(const Bytes& body) {
    if (body.size() < kHeaderSize) return Fail("packet shorter than a message header");
    size_t length = body[0] | body[1] << 8;
    if (length < kHeaderSize || length > body.size()) return Fail("message length out of range");
    Message m;
    m.applId = uint16_t(body[2] | body[3] << 8);
    m.command = body[4];
    m.subcommand = body[5];
    m.number = uint16_t(body[6] | body[7] << 8);
    const char* format = FormatFor(m.command, m.subcommand);
    if (!format) return Fail("unknown command " + CommandName(m.command, m.subcommand));
    Reader r(body, length);
    auto params = ReadParams(r, format);
    if (!params) return Fail(CommandName(m.command, m.subcommand) + " is truncated");
    m.params = std::move(*params);
    if (m.command == kDataB3 && m.subcommand == kReq) {
        if (auto why = AttachData(m, body, length)) return Fail(*why);
    }
    return {std::move(m), {}};
}

Bytes Encode(const Message& m) {
    Bytes b(kHeaderSize, 0);
    const char* format = FormatFor(m.command, m.subcommand);
    size_t i = 0;
    for (const char* f = format; f && *f && i < m.params.size(); ++f, ++i) {
        if (*f == 's') {
            PutStruct(b, m.params[i].bytes);
        } else {
            PutNumber(b, m.params[i].value, SizeOf(*f));
        }
    }
    size_t length = b.size();
    b[0] = uint8_t(length);
    b[1] = uint8_t(length >> 8);
    b[2] = uint8_t(m.applId);
    b[3] = uint8_t(m.applId >> 8);
    b[4] = m.command;
    b[5] = m.subcommand;
    b[6] = uint8_t(m.number);
    b[7] = uint8_t(m.number >> 8);
    b.insert(b.end(), m.data.begin(), m.data.end());
    return b;
}

Message Make(uint8_t command, uint8_t subcommand, uint16_t number, std::vector<Param> params) {
    Message m;
    m.command = command;
    m.subcommand = subcommand;
    m.number = number;
    m.params = std::move(params);
    return m;
}

std::string CommandName(uint8_t command, uint8_t subcommand) {
    static const std::pair<uint8_t, const char*> kNames[] = {
        {kAlert, "ALERT"},
        {kConnect, "CONNECT"},
        {kConnectActive, "CONNECT_ACTIVE"},
        {kDisconnect, "DISCONNECT"},
        {kListen, "LISTEN"},
        {kInfo, "INFO"},
        {kSelectBProtocol, "SELECT_B_PROTOCOL"},
        {kFacility, "FACILITY"},
        {kConnectB3, "CONNECT_B3"},
        {kConnectB3Active, "CONNECT_B3_ACTIVE"},
        {kDisconnectB3, "DISCONNECT_B3"},
        {kDataB3, "DATA_B3"},
        {kResetB3, "RESET_B3"},
        {kConnectB3T90Active, "CONNECT_B3_T90_ACTIVE"},
        {kManufacturer, "MANUFACTURER"},
    };
    static const char* kSubs[] = {"_REQ", "_CONF", "_IND", "_RESP"};
    char hex[8];
    snprintf(hex, sizeof hex, "0x%02X", command);
    std::string name = hex;
    for (auto& [code, text] : kNames) {
        if (code == command) name = text;
    }
    if (subcommand >= kReq && subcommand <= kResp) return name + kSubs[subcommand - kReq];
    snprintf(hex, sizeof hex, "_0x%02X", subcommand);
    return name + hex;
}

std::string CalledDigits(const Bytes& number) {
    return Printable(number, 1);
}

std::string CallingDigits(const Bytes& number) {
    if (number.empty()) return {};
    return Printable(number, (number[0] & 0x80) ? 1 : 2);
}

Bytes CalledNumberStruct(const std::string& digits) {
    Bytes s{0x81};  // unknown type, ISDN numbering plan
    s.insert(s.end(), digits.begin(), digits.end());
    return s;
}

Bytes CallingNumberStruct(const std::string& digits) {
    Bytes s{0x01, 0x81};  // ISDN plan; presentation allowed, verified by the network
    s.insert(s.end(), digits.begin(), digits.end());
    return s;
}

}  // namespace capisim
