#include "monitor_messages.h"

namespace monitor {
namespace {

constexpr std::size_t kHeaderSize = 8;

class Writer {
public:
    Writer(std::uint16_t applId, std::uint8_t command, std::uint8_t subcommand,
           std::uint16_t number) {
        Word(0).Word(applId).Byte(command).Byte(subcommand).Word(number);
    }
    Writer& Byte(std::uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    Writer& Word(std::uint16_t v) { return Byte(std::uint8_t(v)).Byte(std::uint8_t(v >> 8)); }
    Writer& Dword(std::uint32_t v) { return Word(std::uint16_t(v)).Word(std::uint16_t(v >> 16)); }
    Writer& EmptyStruct() { return Byte(0); }
    Bytes Done() {
        bytes_[0] = std::uint8_t(bytes_.size());
        bytes_[1] = std::uint8_t(bytes_.size() >> 8);
        return std::move(bytes_);
    }

private:
    Bytes bytes_;
};

// Reads the parameters of one message; every read past the end fails and
// leaves the reader failed.
class Reader {
public:
    Reader(const std::uint8_t* message, std::size_t size)
        : m_(message), end_(size), at_(kHeaderSize) {
        auto header = ReadHeader(message, size);
        ok_ = header.has_value();
        if (ok_) end_ = header->length;
    }
    bool Ok() const { return ok_; }
    std::uint16_t Word() {
        if (!Need(2)) return 0;
        std::uint16_t v = std::uint16_t(m_[at_] | m_[at_ + 1] << 8);
        at_ += 2;
        return v;
    }
    std::uint32_t Dword() {
        std::uint32_t low = Word();
        return low | std::uint32_t(Word()) << 16;
    }
    Bytes Struct() {
        if (!Need(1)) return {};
        std::size_t length = m_[at_++];
        if (length == 0xFF) length = Word();
        if (!Need(length)) return {};
        Bytes s(m_ + at_, m_ + at_ + length);
        at_ += length;
        return s;
    }

private:
    bool Need(std::size_t n) {
        if (ok_ && at_ + n <= end_) return true;
        ok_ = false;
        return false;
    }

    const std::uint8_t* m_;
    std::size_t end_;
    std::size_t at_;
    bool ok_;
};

bool IsKept(std::uint8_t c) {
    return (c >= '0' && c <= '9') || c == '*' || c == '#';
}

std::string KeptDigits(const Bytes& s, std::size_t from) {
    std::string digits;
    for (std::size_t i = from; i < s.size(); ++i) {
        if (IsKept(s[i])) digits += char(s[i]);
    }
    return digits;
}

// The octet 3a of a calling party number follows when octet 3 lacks its
// extension bit.
std::size_t CallingDigitsStart(const Bytes& number) {
    return (number[0] & 0x80) ? 1 : 2;
}

constexpr std::uint8_t kTypeInternational = 1, kTypeNational = 2;
constexpr std::uint8_t kPresentationRestricted = 1;

}  // namespace

std::optional<Header> ReadHeader(const std::uint8_t* message, std::size_t size) {
    if (!message || size < kHeaderSize) return std::nullopt;
    Header h;
    h.length = std::uint16_t(message[0] | message[1] << 8);
    h.applId = std::uint16_t(message[2] | message[3] << 8);
    h.command = message[4];
    h.subcommand = message[5];
    h.number = std::uint16_t(message[6] | message[7] << 8);
    if (h.length < kHeaderSize || h.length > size) return std::nullopt;
    return h;
}

std::optional<std::uint32_t> AddressOf(const std::uint8_t* message, std::size_t size) {
    Reader r(message, size);
    std::uint32_t address = r.Dword();
    if (!r.Ok()) return std::nullopt;
    return address;
}

Bytes ListenReq(std::uint16_t applId, std::uint16_t number, std::uint32_t controller,
                std::uint32_t cipMask) {
    return Writer(applId, kListen, kReq, number)
        .Dword(controller)
        .Dword(0)
        .Dword(cipMask)
        .Dword(0)
        .EmptyStruct()
        .EmptyStruct()
        .Done();
}

std::optional<std::uint16_t> ListenConfInfo(const std::uint8_t* message, std::size_t size) {
    Reader r(message, size);
    r.Dword();
    std::uint16_t info = r.Word();
    if (!r.Ok()) return std::nullopt;
    return info;
}

Bytes ConnectResp(std::uint16_t applId, std::uint16_t number, std::uint32_t plci,
                  std::uint16_t reject) {
    Writer w(applId, kConnect, kResp, number);
    w.Dword(plci).Word(reject);
    for (int i = 0; i < 5; ++i) w.EmptyStruct();
    return w.Done();
}

Bytes ResponseTo(const std::uint8_t* indication, std::size_t size) {
    auto header = ReadHeader(indication, size);
    Reader r(indication, size);
    std::uint32_t address = r.Dword();
    if (!header || !r.Ok()) return {};
    Writer w(header->applId, header->command, kResp, header->number);
    w.Dword(address);
    if (header->command == kFacility) {
        std::uint16_t selector = r.Word();
        if (!r.Ok()) return {};
        w.Word(selector).EmptyStruct();
    }
    return w.Done();
}

std::optional<CallOffer> ReadConnectInd(const std::uint8_t* message, std::size_t size) {
    Reader r(message, size);
    CallOffer offer;
    offer.plci = r.Dword();
    offer.cip = r.Word();
    Bytes called = r.Struct();
    Bytes calling = r.Struct();
    if (!r.Ok()) return std::nullopt;
    offer.calledNumber = called.empty() ? "" : KeptDigits(called, 1);
    offer.callingNumber = CallingNumberText(calling);
    offer.callingWithheld = CallingNumberWithheld(calling);
    return offer;
}

std::string CallingNumberText(const Bytes& number) {
    if (number.empty() || CallingNumberWithheld(number)) return "";
    std::string digits = KeptDigits(number, CallingDigitsStart(number));
    if (digits.empty()) return "";
    std::uint8_t type = (number[0] >> 4) & 0x07;
    if (type == kTypeInternational) {
        return digits.rfind("49", 0) == 0 ? "0" + digits.substr(2) : "00" + digits;
    }
    if (type == kTypeNational && digits[0] != '0') return "0" + digits;
    return digits;
}

bool CallingNumberWithheld(const Bytes& number) {
    if (number.size() < 2 || (number[0] & 0x80)) return false;
    return ((number[1] >> 5) & 0x03) == kPresentationRestricted;
}

}  // namespace monitor
