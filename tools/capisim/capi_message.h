// CAPI 2.0 messages as the standard lays them out: an 8-byte header (total
// length, ApplID, command, subcommand, message number) and a parameter list
// of dwords, words, qwords and structs whose order depends on the command and
// subcommand. The codec is driven by one table of those layouts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wire.h"

namespace capisim {

enum Command : uint8_t {
    kAlert = 0x01,
    kConnect = 0x02,
    kConnectActive = 0x03,
    kDisconnect = 0x04,
    kListen = 0x05,
    kInfo = 0x08,
    kSelectBProtocol = 0x41,
    kFacility = 0x80,
    kConnectB3 = 0x82,
    kConnectB3Active = 0x83,
    kDisconnectB3 = 0x84,
    kDataB3 = 0x86,
    kResetB3 = 0x87,
    kConnectB3T90Active = 0x88,
    kManufacturer = 0xFF,
};

enum Subcommand : uint8_t { kReq = 0x80, kConf = 0x81, kInd = 0x82, kResp = 0x83 };

// One parameter: a number (dword, word, qword) or the contents of a struct.
struct Param {
    Param(uint64_t v = 0) : value(v) {}
    Param(Bytes s) : bytes(std::move(s)), isStruct(true) {}
    uint64_t value = 0;
    Bytes bytes;
    bool isStruct = false;
};

struct Message {
    uint16_t applId = 0;
    uint8_t command = 0;
    uint8_t subcommand = 0;
    uint16_t number = 0;
    std::vector<Param> params;
    // DATA_B3 only: the block that follows the message in the packet.
    Bytes data;

    uint32_t Address() const { return params.empty() ? 0 : uint32_t(params[0].value); }
    uint64_t Value(size_t i) const { return i < params.size() ? params[i].value : 0; }
    const Bytes& Struct(size_t i) const;
};

// Parameter positions of the messages whose fields the exchange reads.
namespace field {
enum ConnectReq { kCip = 1, kCalledNumber = 2, kCallingNumber = 3, kBProtocol = 6 };
enum ConnectResp { kReject = 1 };
enum ListenReq { kCipMask = 2 };
enum ConnectB3Req { kNcpi = 1 };
enum ConnectB3Resp { kB3Reject = 1 };
enum DataB3Req { kDataLength = 2, kDataHandle = 3, kFlags = 4 };
enum DataB3Resp { kRespHandle = 1 };
enum FacilityReq { kSelector = 1 };
enum ManufacturerReq { kManuId = 1 };
}  // namespace field

// Why a body is not a message we accept; empty when it is one.
struct DecodeResult {
    std::optional<Message> message;
    std::string error;
};

DecodeResult Decode(const Bytes& body);
// The body of the packet that carries m (with its data for DATA_B3_IND).
Bytes Encode(const Message& m);

Message Make(uint8_t command, uint8_t subcommand, uint16_t number, std::vector<Param> params);

std::string CommandName(uint8_t command, uint8_t subcommand);

// Numbers in the structs of CONNECT and LISTEN: the called party number has
// one octet of type and plan before the digits, the calling and connected
// numbers a second one for presentation and screening unless the first has
// its extension bit set.
std::string CalledDigits(const Bytes& number);
std::string CallingDigits(const Bytes& number);
Bytes CalledNumberStruct(const std::string& digits);
Bytes CallingNumberStruct(const std::string& digits);

}  // namespace capisim
