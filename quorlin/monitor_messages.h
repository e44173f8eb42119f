// The few CAPI 2.0 messages of the call monitor: it listens, is offered
// calls, lets them pass and answers every indication it is sent. Pure
// functions from bytes to values and back, on the link library's codec.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capi_message.h"

namespace monitor {

using Bytes = std::vector<std::uint8_t>;

// Commands and subcommands as they travel (INFO as 0x08).
enum Command : std::uint8_t {
    kAlert = capi::kAlert,
    kConnect = capi::kConnect,
    kConnectActive = capi::kConnectActive,
    kDisconnect = capi::kDisconnect,
    kListen = capi::kListen,
    kInfo = capi::kInfoOnWire,
    kFacility = capi::kFacility,
    kManufacturer = capi::kManufacturer,
};
enum Subcommand : std::uint8_t {
    kReq = 0x80 | capi::kReq,
    kConf = 0x80 | capi::kConf,
    kInd = 0x80 | capi::kInd,
    kResp = 0x80 | capi::kResp,
};

// CONNECT_RESP Reject value: the call is not for this application; it goes
// on ringing for the telephones on the line.
inline constexpr std::uint16_t kIgnoreCall = 1;

struct Header {
    std::uint16_t length;
    std::uint16_t applId;
    std::uint8_t command;
    std::uint8_t subcommand;
    std::uint16_t number;
};

// The header of a message of size bytes; none when the message is shorter
// than its header or than its own Length says.
std::optional<Header> ReadHeader(const std::uint8_t* message, std::size_t size);

// The first dword after the header: controller, PLCI or NCCI.
std::optional<std::uint32_t> AddressOf(const std::uint8_t* message, std::size_t size);

// LISTEN_REQ: no info indications, the given CIP mask, no second mask, no
// own number or subaddress.
Bytes ListenReq(std::uint16_t applId, std::uint16_t number, std::uint32_t controller,
                std::uint32_t cipMask);
// LISTEN_CONF's Info word.
std::optional<std::uint16_t> ListenConfInfo(const std::uint8_t* message, std::size_t size);

// CONNECT_RESP with a Reject value and empty B protocol, connected number,
// subaddress, LLC and additional info.
Bytes ConnectResp(std::uint16_t applId, std::uint16_t number, std::uint32_t plci,
                  std::uint16_t reject);
// The response to any other indication this application may be sent:
// DISCONNECT, CONNECT_ACTIVE, INFO, MANUFACTURER carry the address back
// alone, FACILITY also its selector and empty parameters.
Bytes ResponseTo(const std::uint8_t* indication, std::size_t size);

// What a CONNECT_IND tells about an offered call.
struct CallOffer {
    std::uint32_t plci = 0;
    std::uint16_t cip = 0;
    std::string calledNumber;   // the MSN dialled, digits as sent
    std::string callingNumber;  // as a German telephone shows it; "" when not given
    bool callingWithheld = false;
};
std::optional<CallOffer> ReadConnectInd(const std::uint8_t* message, std::size_t size);

// A calling party number struct (type, presentation, digits) as a German
// telephone shows it: a national number with its leading "0", an
// international one of Germany as national, any other with "00"; a number
// of unknown type or a subscriber's number as it came. Only digits, "*" and
// "#" are kept.
std::string CallingNumberText(const Bytes& number);
// True when the caller asked for the number not to be shown.
bool CallingNumberWithheld(const Bytes& number);

}  // namespace monitor
