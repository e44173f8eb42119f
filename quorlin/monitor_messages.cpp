#include "monitor_messages.h"

#include "capi_message.h"

namespace monitor {
namespace {

using capi::ParamReader;
using capi::ParamWriter;

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
    if (!ParamReader(message, size).Ok()) return std::nullopt;
    return Header{capi::MsgLength(message), capi::Word(message + 2), capi::MsgCommand(message),
                  capi::MsgSubcommand(message), capi::MsgNumber(message)};
}

std::optional<std::uint32_t> AddressOf(const std::uint8_t* message, std::size_t size) {
    ParamReader r(message, size);
    std::uint32_t address = r.Dword();
    if (!r.Ok()) return std::nullopt;
    return address;
}

Bytes ListenReq(std::uint16_t applId, std::uint16_t number, std::uint32_t controller,
                std::uint32_t cipMask) {
    return capi::MakeMessage(applId, kListen, kReq, number, [&](ParamWriter& w) {
        w.Dword(controller).Dword(0).Dword(cipMask).Dword(0).EmptyStruct().EmptyStruct();
    });
}

std::optional<std::uint16_t> ListenConfInfo(const std::uint8_t* message, std::size_t size) {
    ParamReader r(message, size);
    r.Dword();
    std::uint16_t info = r.Word();
    if (!r.Ok()) return std::nullopt;
    return info;
}

Bytes ConnectResp(std::uint16_t applId, std::uint16_t number, std::uint32_t plci,
                  std::uint16_t reject) {
    return capi::MakeMessage(applId, kConnect, kResp, number, [&](ParamWriter& w) {
        w.Dword(plci).Word(reject);
        for (int i = 0; i < 5; ++i) w.EmptyStruct();
    });
}

Bytes ResponseTo(const std::uint8_t* indication, std::size_t size) {
    auto header = ReadHeader(indication, size);
    ParamReader r(indication, size);
    std::uint32_t address = r.Dword();
    if (!header || !r.Ok()) return {};
    bool facility = header->command == kFacility;
    std::uint16_t selector = facility ? r.Word() : 0;
    if (!r.Ok()) return {};
    return capi::MakeMessage(header->applId, header->command, kResp, header->number,
                             [&](ParamWriter& w) {
                                 w.Dword(address);
                                 if (facility) w.Word(selector).EmptyStruct();
                             });
}

std::optional<CallOffer> ReadConnectInd(const std::uint8_t* message, std::size_t size) {
    ParamReader r(message, size);
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
