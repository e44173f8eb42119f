// CAPI 2.0 message layout: the pure part of the codec, free of any driver,
// so that every byte an application puts on the line can be checked in a
// test. The link library and quorlin's call monitor both build and read
// their messages with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "byte_order.h"

namespace capi {

using le::Dword;
using le::PutDword;
using le::PutQword;
using le::PutWord;
using le::Qword;
using le::Word;

// Command bytes. INFO travels as 0x08 but is handled internally as 0x07.
enum : std::uint8_t {
    kAlert = 0x01,
    kConnect = 0x02,
    kConnectActive = 0x03,
    kDisconnect = 0x04,
    kListen = 0x05,
    kInfo = 0x07,
    kInfoOnWire = 0x08,
    kSelectBProtocol = 0x41,
    kFacility = 0x80,
    kConnectB3 = 0x82,
    kConnectB3Active = 0x83,
    kDisconnectB3 = 0x84,
    kDataB3 = 0x86,
    kResetB3 = 0x87,
    kManufacturer = 0xFF,
};

// Subcommand kinds; on the wire 0x80 | kind.
enum : std::uint8_t { kReq = 0, kConf = 1, kInd = 2, kResp = 3 };

// Command byte of the last message sent when that was a response.
constexpr std::uint8_t kLastWasResponse = 0x99;
constexpr std::uint32_t kNoFixedLength = 0xFFFFFFFF;
constexpr std::size_t kHeaderSize = 8;
// DATA_B3_REQ in the form with a 64-bit data address.
constexpr std::uint16_t kDataB3Req64Length = 30;

// Total length of a message whose optional structures are all empty, or
// kNoFixedLength when its sender must give the length itself.
std::uint32_t CalcMsgLength(std::uint8_t command, std::uint8_t kind);

// Header fields.
inline std::uint16_t MsgLength(const std::uint8_t* m) {
    return Word(m);
}
inline std::uint8_t MsgCommand(const std::uint8_t* m) {
    return m[4];
}
inline std::uint8_t MsgSubcommand(const std::uint8_t* m) {
    return m[5];
}
inline std::uint16_t MsgNumber(const std::uint8_t* m) {
    return Word(m + 6);
}

// Appends parameters behind a header, never past the room it was given: a
// write that does not fit is left out, and so is every later one, and Ok()
// tells the caller to refuse the message.
class ParamWriter {
public:
    ParamWriter(std::uint8_t* params, std::size_t room) : p_(params), room_(room) {}
    ParamWriter& Byte(std::uint8_t v);
    ParamWriter& Word(std::uint16_t v);
    ParamWriter& Dword(std::uint32_t v);
    ParamWriter& Qword(std::uint64_t v);
    // Contents up to 254 bytes take one length byte, longer ones 0xFF and a word.
    ParamWriter& Struct(const std::vector<std::uint8_t>& content);
    ParamWriter& EmptyStruct() { return Byte(0); }
    std::size_t Size() const { return pos_; }
    bool Ok() const { return ok_; }

private:
    std::uint8_t* Take(std::size_t n);
    std::uint8_t* p_;
    std::size_t room_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// The largest message anyone here builds or expects (a header and the
// parameters of CONNECT_REQ with two numbers of ordinary length fit many
// times over).
constexpr std::size_t kMaxMessageSize = 180;

// A whole message: the header, then what fill writes, with Length set; empty
// when the parameters do not fit into kMaxMessageSize bytes.
std::vector<std::uint8_t> MakeMessage(std::uint16_t applId, std::uint8_t command,
                                      std::uint8_t subcommand, std::uint16_t number,
                                      const std::function<void(ParamWriter&)>& fill);

// Reads parameters of an incoming message without running past its Length
// or past the size of the buffer that holds it.
class ParamReader {
public:
    // A message whose Length is below 8 or beyond size reads as failed.
    ParamReader(const std::uint8_t* message, std::size_t size);
    std::uint16_t Word();
    std::uint32_t Dword();
    std::uint64_t Qword();
    // The content of a structure (the bytes after its length byte, or after
    // 0xFF and a 16-bit length); empty when the message ends early.
    std::vector<std::uint8_t> Struct();
    bool Ok() const { return ok_; }
    std::size_t Remaining() const { return ok_ ? end_ - pos_ : 0; }

private:
    bool Take(std::size_t n);
    const std::uint8_t* m_;
    std::size_t pos_ = kHeaderSize;
    std::size_t end_;
    bool ok_ = true;
};

// Called party number: type of number and numbering plan 0x80, then the digits.
std::vector<std::uint8_t> CalledPartyNumber(const char* digits);
// Calling party number: none gives an empty structure, an empty text
// "presentation restricted" without digits, else 0x00 0x80 and the digits.
std::vector<std::uint8_t> CallingPartyNumber(const char* digits);
// The CIP value a connect request's selector stands for.
std::uint16_t CipValue(std::uint16_t selector);
// The CIP mask of a listen request for the given selector bits.
std::uint32_t ListenCipMask(std::uint32_t selectorBits);
// B protocol for a CIP value: bit-transparent for CIP 1, 4 and 16, else
// empty (the CAPI default: HDLC, X.75, transparent).
std::vector<std::uint8_t> BProtocolFor(std::uint16_t cip);
// Digits of a number structure as text, skipping its leading octets
// (one for a called, two for a calling number when the second has bit 7 set).
std::string NumberText(const std::vector<std::uint8_t>& number, bool calling);

// A readable name for the debug log, as "CONNECT_REQ".
std::string MessageName(std::uint8_t command, std::uint8_t subcommand);

}  // namespace capi
