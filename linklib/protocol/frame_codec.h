// The note link's frames, acknowledgements and identification as bytes: a
// message is cut into frames of at most 128 bytes, each acknowledged by the
// peer before the next goes. Pure functions, so that every byte on the line
// can be checked without one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace frame {

// msgId, three zero bytes, the 32-bit count of message bytes not yet sent
// (this frame's included), then at most 120 bytes of the message.
constexpr std::size_t kHeader = 8;
constexpr std::size_t kMaxFrame = 128;
constexpr std::size_t kMaxPayload = kMaxFrame - kHeader;
// Room for any block a carrier hands over, with a margin.
constexpr std::size_t kBuffer = 136;
constexpr std::uint8_t kAckMark = 0x0A;
constexpr std::array<std::uint8_t, 2> kIdentification = {0x00, 0x05};

// Frame numbers run 1 to 254, then 0, 1, ...
std::uint8_t NextMsgId(std::uint8_t msgId);

// Writes the frame that carries the message bytes from `data` on, of which
// `left` are not sent yet, into out (kBuffer bytes); returns its length.
std::size_t BuildFrame(std::uint8_t msgId, const std::uint8_t* data, std::uint32_t left,
                       std::uint8_t* out);

struct FrameHeader {
    std::uint8_t msgId;
    std::uint32_t msgLen;  // message bytes not yet received, this frame's included
    std::size_t payload;   // bytes of the message in this frame
    bool Last() const { return msgLen == payload; }
};
// None for a block of 8 bytes or less, which carries no message bytes.
std::optional<FrameHeader> ReadFrame(const std::uint8_t* block, std::size_t length);

std::array<std::uint8_t, 2> Acknowledgement(std::uint8_t msgId);
enum class AckCheck { Ok, NotReceived, WrongRespId, WrongMsgId };
AckCheck CheckAcknowledgement(const std::uint8_t* block, std::size_t length, std::uint8_t msgId);

bool IsIdentification(const std::uint8_t* block, std::size_t length);
// A peer of the older protocol sends no identification; its first block is
// the first frame of its version request.
bool IsOldVersionRequest(const std::uint8_t* block, std::size_t length);
// The answer to it: the request's first four bytes, then a response with
// one byte of data, the protocol version 1.
std::array<std::uint8_t, 9> OldVersionReply(const std::uint8_t* request);

}  // namespace frame
