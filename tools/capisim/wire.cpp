#include "wire.h"

#include <algorithm>

namespace capisim {
namespace {

constexpr size_t kRegisterSize = 20;  // the version byte after it is optional

// The reply repeats the request's header with the answering command byte.
Bytes ReplyHeader(const RemoteRequest& request, uint8_t command) {
    Bytes b;
    PutWord(b, 0);
    PutWord(b, 0);
    b.push_back(command);
    b.push_back(0xFF);
    PutWord(b, request.number);
    return b;
}

std::optional<RemoteOp> OpFor(uint8_t command) {
    switch (command) {
        case 0xF2:
            return RemoteOp::kRegister;
        case 0xFA:
            return RemoteOp::kManufacturer;
        case 0xFC:
            return RemoteOp::kVersion;
        case 0xFE:
            return RemoteOp::kSerialNumber;
        case 0xE0:
            return RemoteOp::kProfile;
        default:
            return std::nullopt;
    }
}

void PutFixedText(Bytes& b, const std::string& text, size_t size) {
    Bytes field(size, 0);
    std::copy_n(text.begin(), std::min(text.size(), size - 1), field.begin());
    b.insert(b.end(), field.begin(), field.end());
}

}  // namespace

void FrameReader::Append(const uint8_t* data, size_t size) {
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + size);
}

FrameReader::Result FrameReader::Next(Bytes& body) {
    if (Buffered() < 2) return Result::kNeedMore;
    size_t length = size_t(buffer_[start_]) << 8 | buffer_[start_ + 1];
    if (length < 2) return Result::kMalformed;
    if (Buffered() < length) return Result::kNeedMore;
    body.assign(buffer_.begin() + start_ + 2, buffer_.begin() + start_ + length);
    start_ += length;
    if (start_ > 65536) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + start_);
        start_ = 0;
    }
    return Result::kPacket;
}

Bytes Frame(const Bytes& body) {
    size_t length = body.size() + 2;
    Bytes packet;
    packet.reserve(length);
    packet.push_back(uint8_t(length >> 8));
    packet.push_back(uint8_t(length));
    packet.insert(packet.end(), body.begin(), body.end());
    return packet;
}

bool IsRemoteRequest(const Bytes& body) {
    return body.size() >= 6 && body[5] == 0xFF;
}

std::optional<RemoteRequest> ParseRemoteRequest(const Bytes& body) {
    if (body.size() < 12 || body[5] != 0xFF) return std::nullopt;
    auto op = OpFor(body[4]);
    if (!op) return std::nullopt;
    RemoteRequest request;
    request.op = *op;
    request.number = Word(body, 6);
    request.controller = Dword(body, kHeaderSize);
    if (request.op != RemoteOp::kRegister) return request;
    if (body.size() < kRegisterSize) return std::nullopt;
    request.reg.maxLogicalConnections = Word(body, 14);
    request.reg.maxBDataBlocks = Word(body, 16);
    request.reg.maxBDataLength = Word(body, 18);
    return request;
}

Bytes RegisterReply(const RemoteRequest& request, uint16_t result) {
    Bytes b = ReplyHeader(request, 0xF3);
    PutWord(b, result);
    return b;
}

Bytes ProfileReply(const RemoteRequest& request, uint16_t controllers) {
    Bytes b = ReplyHeader(request, 0xE1);
    bool known = request.controller <= controllers;
    PutWord(b, known ? 0 : 0x2002);
    PutWord(b, controllers);
    PutWord(b, request.controller == 0 ? 0 : 2);  // B channels
    PutDword(b, 0);                               // global options
    PutDword(b, 0x3);  // B1: 64 kbit/s with HDLC framing, bit-transparent
    PutDword(b, 0x3);  // B2: X.75 SLP, transparent
    PutDword(b, 0x1);  // B3: transparent
    b.resize(b.size() + 24 + 20, 0);
    return b;
}

Bytes ManufacturerReply(const RemoteRequest& request, const std::string& name) {
    Bytes b = ReplyHeader(request, 0xFB);
    b.push_back(64);
    PutFixedText(b, name, 64);
    return b;
}

Bytes VersionReply(const RemoteRequest& request) {
    Bytes b = ReplyHeader(request, 0xFD);
    b.push_back(16);
    for (uint32_t part : {2u, 0u, 1u, 0u}) PutDword(b, part);
    return b;
}

Bytes SerialNumberReply(const RemoteRequest& request, const std::string& serial) {
    Bytes b = ReplyHeader(request, 0xFF);
    b.push_back(8);
    PutFixedText(b, serial, 8);
    return b;
}

}  // namespace capisim
