// The bytes of the two dial-in protocols, as pure functions: the TAP block
// with its three-character checksum, the UCP/EMI operation 51 frame, and
// how a reply is read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tap {

inline constexpr char kStx = 0x02, kEtx = 0x03, kEot = 0x04, kAck = 0x06, kEsc = 0x1B,
                      kNak = 0x15, kRs = 0x1E, kCr = 0x0D;

// The sum of the bytes, bits 11-8, 7-4 and 3-0 each as 0x30 + value.
std::string Checksum(std::string_view stxThroughEtx);

// STX recipient CR text CR ETX checksum CR; text is on the wire already.
std::string Block(std::string_view recipient, std::string_view wireText);

// A reply as text a user can read: the bytes without control characters.
std::string ReplyText(std::string_view reply);

}  // namespace tap

namespace emi {

inline constexpr char kStx = 0x02, kEtx = 0x03;

// The sum of the characters modulo 256 as two uppercase hexadecimal digits.
std::string Checksum(std::string_view text);

// STX, TRN "01", LEN, "O/51/", the 33 fields of a submission with the text
// as hexadecimal digits, the checksum and ETX.
std::string SubmitFrame(std::string_view originator, std::string_view recipient,
                        std::string_view wireText);

// Whether a reply is the result of an operation 51 (R at position 10, "51"
// at 12 and 13, counted from STX at 0), whether it is positive (A at 15),
// and the two fields after the acknowledgement with their closing "/".
struct Reply {
    bool isResult = false;
    bool accepted = false;
    std::string fields;
};
Reply ReadReply(std::string_view reply);

}  // namespace emi
