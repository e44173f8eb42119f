#include "frame_codec.h"

#include <algorithm>
#include <cstring>

#include "byte_order.h"

namespace frame {

std::uint8_t NextMsgId(std::uint8_t msgId) {
    return static_cast<std::uint8_t>((msgId + 1) % 255);
}

std::size_t BuildFrame(std::uint8_t msgId, const std::uint8_t* data, std::uint32_t left,
                       std::uint8_t* out) {
    std::size_t n = left + kHeader <= kMaxFrame ? left : kMaxPayload;
    std::memset(out, 0, kBuffer);
    out[0] = msgId;
    le::PutDword(out + 4, left);
    if (n > 0) std::memcpy(out + kHeader, data, n);
    return n + kHeader;
}

std::optional<FrameHeader> ReadFrame(const std::uint8_t* block, std::size_t length) {
    if (length <= kHeader) return std::nullopt;
    return FrameHeader{block[0], le::Dword(block + 4), length - kHeader};
}

std::array<std::uint8_t, 2> Acknowledgement(std::uint8_t msgId) {
    return {msgId, kAckMark};
}

AckCheck CheckAcknowledgement(const std::uint8_t* block, std::size_t length, std::uint8_t msgId) {
    if (length != 2) return AckCheck::NotReceived;
    if (block[1] != kAckMark) return AckCheck::WrongRespId;
    if (block[0] != msgId) return AckCheck::WrongMsgId;
    return AckCheck::Ok;
}

bool IsIdentification(const std::uint8_t* block, std::size_t length) {
    return length == kIdentification.size() &&
           std::equal(kIdentification.begin(), kIdentification.end(), block);
}

bool IsOldVersionRequest(const std::uint8_t* block, std::size_t length) {
    return block && length >= 4 && block[0] == 0x01;
}

std::array<std::uint8_t, 9> OldVersionReply(const std::uint8_t* request) {
    std::array<std::uint8_t, 9> reply{};
    std::memcpy(reply.data(), request, 4);
    le::PutDword(reply.data() + 4, 1);
    reply[8] = '1';
    return reply;
}

}  // namespace frame
