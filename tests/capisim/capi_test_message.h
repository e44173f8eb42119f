// A small CAPI 2.0 message builder and reader for tests, written apart from
// capisim's own codec so that a test checks the bytes, not the codec against
// itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace capitest {

using Bytes = std::vector<uint8_t>;

enum : uint8_t {
    ALERT = 0x01,
    CONNECT = 0x02,
    CONNECT_ACTIVE = 0x03,
    DISCONNECT = 0x04,
    LISTEN = 0x05,
    INFO = 0x08,
    FACILITY = 0x80,
    CONNECT_B3 = 0x82,
    CONNECT_B3_ACTIVE = 0x83,
    DISCONNECT_B3 = 0x84,
    DATA_B3 = 0x86,
    RESET_B3 = 0x87,
    MANUFACTURER = 0xFF,
};
enum : uint8_t { REQ = 0x80, CONF = 0x81, IND = 0x82, RESP = 0x83 };

class MsgBuilder {
public:
    MsgBuilder(uint8_t command, uint8_t subcommand, uint16_t number = 0);
    MsgBuilder& Dword(uint32_t v);
    MsgBuilder& Word(uint16_t v);
    MsgBuilder& Qword(uint64_t v);
    MsgBuilder& Struct(const Bytes& s);
    MsgBuilder& Struct(const std::string& s) { return Struct(Bytes(s.begin(), s.end())); }
    Bytes Build() const;

private:
    Bytes b_;
};

// A message as an application received it, with the block of a DATA_B3_IND.
struct Received {
    Bytes msg;
    Bytes data;

    uint8_t Command() const { return msg.size() > 5 ? msg[4] : 0; }
    uint8_t Subcommand() const { return msg.size() > 5 ? msg[5] : 0; }
    uint16_t Number() const { return WordAt(6); }
    uint32_t Address() const { return DwordAt(8); }
    // Info of a CONF, Reason of DISCONNECT_IND / DISCONNECT_B3_IND, CIP of CONNECT_IND.
    uint16_t WordAfterAddress() const { return WordAt(12); }
    uint16_t WordAt(size_t at) const;
    uint32_t DwordAt(size_t at) const;
    // The index-th struct of the parameters that start at offset.
    Bytes StructAt(size_t offset, size_t index) const;
    std::string Name() const;
};

std::string CommandName(uint8_t command, uint8_t subcommand);

// Parameter structs of numbers: called party (type octet, digits) and
// calling/connected party (type and presentation octets, digits).
Bytes CalledParty(const std::string& digits);
Bytes CallingParty(const std::string& digits);
std::string CalledDigits(const Bytes& s);
std::string CallingDigits(const Bytes& s);

// The messages the tests send, laid out as the standard says.
Bytes ListenReq(uint32_t cipMask, uint32_t controller = 1);
Bytes ConnectReq(const std::string& called, const std::string& calling, uint16_t cip = 2,
                 uint32_t controller = 1);
Bytes ConnectResp(uint32_t plci, uint16_t reject, uint16_t number = 0);
Bytes AlertReq(uint32_t plci);
Bytes ConnectActiveResp(uint32_t plci, uint16_t number = 0);
Bytes ConnectB3Req(uint32_t plci);
Bytes ConnectB3Resp(uint32_t ncci, uint16_t reject = 0, uint16_t number = 0);
Bytes ConnectB3ActiveResp(uint32_t ncci, uint16_t number = 0);
// The 22-byte form, or with data64 the 30-byte form of the 64-bit extension.
Bytes DataB3Req(uint32_t ncci, uint16_t length, uint16_t handle, bool data64);
Bytes DataB3Resp(uint32_t ncci, uint16_t handle, uint16_t number = 0);
Bytes DisconnectB3Req(uint32_t ncci);
Bytes DisconnectB3Resp(uint32_t ncci, uint16_t number = 0);
Bytes DisconnectReq(uint32_t plci);
Bytes DisconnectResp(uint32_t plci, uint16_t number = 0);

}  // namespace capitest
