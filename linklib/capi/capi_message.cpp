#include "capi_message.h"

#include <cstdio>
#include <cstring>

namespace capi {

namespace {

struct FixedLength {
    std::uint8_t command;
    std::uint32_t request;
    std::uint32_t response;
};

constexpr std::uint32_t kNone = kNoFixedLength;

constexpr FixedLength kFixedLengths[] = {
    {kAlert, 13, 12},
    {kConnect, kNone, 19},
    {kConnectActive, kNone, 12},
    {kDisconnect, 16, 12},
    {kListen, 26, kNone},
    {kInfo, 14, 12},
    {kSelectBProtocol, 21, kNone},
    {kFacility, 15, 15},
    {kConnectB3, 13, 15},
    {kConnectB3Active, kNone, 12},
    {kDisconnectB3, 13, 12},
    {kDataB3, 22, 14},
};

}  // namespace

std::uint32_t CalcMsgLength(std::uint8_t command, std::uint8_t kind) {
    for (const auto& entry : kFixedLengths) {
        if (entry.command != command) continue;
        if (kind == kReq) return entry.request;
        if (kind == kResp) return entry.response;
        return kNone;
    }
    return kNone;
}

std::uint8_t* ParamWriter::Take(std::size_t n) {
    if (!ok_ || room_ - pos_ < n) {
        ok_ = false;
        return nullptr;
    }
    pos_ += n;
    return p_ + pos_ - n;
}

ParamWriter& ParamWriter::Byte(std::uint8_t v) {
    if (std::uint8_t* at = Take(1)) *at = v;
    return *this;
}

ParamWriter& ParamWriter::Word(std::uint16_t v) {
    if (std::uint8_t* at = Take(2)) PutWord(at, v);
    return *this;
}

ParamWriter& ParamWriter::Dword(std::uint32_t v) {
    if (std::uint8_t* at = Take(4)) PutDword(at, v);
    return *this;
}

ParamWriter& ParamWriter::Qword(std::uint64_t v) {
    if (std::uint8_t* at = Take(8)) PutQword(at, v);
    return *this;
}

ParamWriter& ParamWriter::Struct(const std::vector<std::uint8_t>& content) {
    if (content.size() > 0xFFFF) {
        ok_ = false;
        return *this;
    }
    if (content.size() < 0xFF) {
        Byte(static_cast<std::uint8_t>(content.size()));
    } else {
        Byte(0xFF).Word(static_cast<std::uint16_t>(content.size()));
    }
    std::uint8_t* at = Take(content.size());
    if (at && !content.empty()) std::memcpy(at, content.data(), content.size());
    return *this;
}

std::vector<std::uint8_t> MakeMessage(std::uint16_t applId, std::uint8_t command,
                                      std::uint8_t subcommand, std::uint16_t number,
                                      const std::function<void(ParamWriter&)>& fill) {
    std::vector<std::uint8_t> m(kMaxMessageSize);
    PutWord(&m[2], applId);
    m[4] = command;
    m[5] = subcommand;
    PutWord(&m[6], number);
    ParamWriter w(m.data() + kHeaderSize, m.size() - kHeaderSize);
    fill(w);
    if (!w.Ok()) return {};
    m.resize(kHeaderSize + w.Size());
    PutWord(&m[0], static_cast<std::uint16_t>(m.size()));
    return m;
}

ParamReader::ParamReader(const std::uint8_t* message, std::size_t size) : m_(message), end_(0) {
    if (!message || size < kHeaderSize || MsgLength(message) < kHeaderSize ||
        MsgLength(message) > size) {
        ok_ = false;
        return;
    }
    end_ = MsgLength(message);
}

bool ParamReader::Take(std::size_t n) {
    if (!ok_ || end_ - pos_ < n) {
        ok_ = false;
        return false;
    }
    pos_ += n;
    return true;
}

std::uint16_t ParamReader::Word() {
    return Take(2) ? capi::Word(m_ + pos_ - 2) : 0;
}
std::uint32_t ParamReader::Dword() {
    return Take(4) ? capi::Dword(m_ + pos_ - 4) : 0;
}
std::uint64_t ParamReader::Qword() {
    return Take(8) ? capi::Qword(m_ + pos_ - 8) : 0;
}

std::vector<std::uint8_t> ParamReader::Struct() {
    if (!Take(1)) return {};
    std::size_t length = m_[pos_ - 1];
    if (length == 0xFF) {
        if (!Take(2)) return {};
        length = capi::Word(m_ + pos_ - 2);
    }
    if (!Take(length)) return {};
    return std::vector<std::uint8_t>(m_ + pos_ - length, m_ + pos_);
}

std::vector<std::uint8_t> CalledPartyNumber(const char* digits) {
    std::vector<std::uint8_t> out{0x80};
    if (digits) out.insert(out.end(), digits, digits + std::strlen(digits));
    return out;
}

std::vector<std::uint8_t> CallingPartyNumber(const char* digits) {
    if (!digits) return {};
    if (!*digits) return {0x00, 0xA0};
    std::vector<std::uint8_t> out{0x00, 0x80};
    out.insert(out.end(), digits, digits + std::strlen(digits));
    return out;
}

std::uint16_t CipValue(std::uint16_t selector) {
    if (selector & 0x8000) return selector & 0x7FFF;
    if (selector == 7) return 2;
    return selector;
}

std::uint32_t ListenCipMask(std::uint32_t bits) {
    if (bits & 0x80000000u) return bits;
    std::uint32_t mask = 0;
    if (bits & 0x02) mask |= 0x80010012u;
    if (bits & (0x20 | 0x80)) mask |= 0x80000004u;
    if (bits & 0x10) mask |= 0x80020010u;
    return mask & ~0x80000000u;
}

std::vector<std::uint8_t> BProtocolFor(std::uint16_t cip) {
    if (cip != 1 && cip != 4 && cip != 16) return {};
    // B1 64 kbit/s bit-transparent, B2 transparent, B3 transparent, no configurations.
    return {0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
}

std::string NumberText(const std::vector<std::uint8_t>& number, bool calling) {
    std::size_t skip = 1;
    if (calling && number.size() >= 2 && !(number[0] & 0x80)) skip = 2;
    if (number.size() <= skip) return {};
    return std::string(number.begin() + static_cast<long>(skip), number.end());
}

std::string MessageName(std::uint8_t command, std::uint8_t subcommand) {
    static const struct {
        std::uint8_t command;
        const char* name;
    } names[] = {
        {kAlert, "ALERT"},
        {kConnect, "CONNECT"},
        {kConnectActive, "CONNECT_ACTIVE"},
        {kDisconnect, "DISCONNECT"},
        {kListen, "LISTEN"},
        {kInfo, "INFO"},
        {kInfoOnWire, "INFO"},
        {kSelectBProtocol, "SELECT_B_PROTOCOL"},
        {kFacility, "FACILITY"},
        {kConnectB3, "CONNECT_B3"},
        {kConnectB3Active, "CONNECT_B3_ACTIVE"},
        {kDisconnectB3, "DISCONNECT_B3"},
        {kDataB3, "DATA_B3"},
        {kResetB3, "RESET_B3"},
        {0x88, "CONNECT_B3_T90_ACTIVE"},
        {kManufacturer, "MANUFACTURER"},
    };
    static const char* const kinds[] = {"_REQ", "_CONF", "_IND", "_RESP"};
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", command);
    std::string name = hex;
    for (const auto& n : names) {
        if (n.command == command) name = n.name;
    }
    return name + kinds[subcommand & 3];
}

}  // namespace capi
