// The framing that libcapi20's remote driver speaks over TCP: every packet is
// a big-endian 16-bit length that counts itself, then the body. Bodies whose
// subcommand byte is 0xFF are the driver's own requests (register, profile,
// ...); everything else is one CAPI message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace capisim {

using Bytes = std::vector<uint8_t>;

// Every CAPI message and every remote request starts with 8 bytes: length,
// ApplID, command, subcommand, message number.
constexpr size_t kHeaderSize = 8;

// Little-endian numbers inside packet bodies.
inline uint16_t Word(const Bytes& b, size_t at) {
    return uint16_t(b[at] | (b[at + 1] << 8));
}
inline uint32_t Dword(const Bytes& b, size_t at) {
    return uint32_t(Word(b, at)) | uint32_t(Word(b, at + 2)) << 16;
}
inline void PutWord(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void PutDword(Bytes& b, uint32_t v) {
    PutWord(b, uint16_t(v));
    PutWord(b, uint16_t(v >> 16));
}

// Splits a byte stream into packet bodies. Bytes are kept until a whole
// packet has arrived.
class FrameReader {
public:
    enum class Result { kNeedMore, kPacket, kMalformed };

    void Append(const uint8_t* data, size_t size);
    Result Next(Bytes& body);
    size_t Buffered() const { return buffer_.size() - start_; }

private:
    Bytes buffer_;
    size_t start_ = 0;
};

Bytes Frame(const Bytes& body);

enum class RemoteOp { kRegister, kManufacturer, kVersion, kSerialNumber, kProfile };

struct RegisterParams {
    uint16_t maxLogicalConnections = 0;
    uint16_t maxBDataBlocks = 0;
    uint16_t maxBDataLength = 0;
};

struct RemoteRequest {
    RemoteOp op = RemoteOp::kRegister;
    uint16_t number = 0;
    uint32_t controller = 0;
    RegisterParams reg;
};

bool IsRemoteRequest(const Bytes& body);
// nullopt for a body that claims to be a remote request but is not one we
// know or is too short.
std::optional<RemoteRequest> ParseRemoteRequest(const Bytes& body);

Bytes RegisterReply(const RemoteRequest& request, uint16_t result);
// The CAPI profile of `controllers` controllers with two B channels each.
Bytes ProfileReply(const RemoteRequest& request, uint16_t controllers);
Bytes ManufacturerReply(const RemoteRequest& request, const std::string& name);
Bytes VersionReply(const RemoteRequest& request);
Bytes SerialNumberReply(const RemoteRequest& request, const std::string& serial);

}  // namespace capisim
