// A bare TCP client of one capisim line that speaks the remote-CAPI framing
// directly, for what libcapi20 would never send.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace capitest {

class RawClient {
public:
    explicit RawClient(int port);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    // Sends bytes as they are (a test may send broken framing).
    bool SendRaw(const std::vector<uint8_t>& bytes);
    // Sends body with the 2-byte big-endian length in front.
    bool SendPacket(const std::vector<uint8_t>& body);
    // The next packet body; nullopt on time-out or when the server closed.
    std::optional<std::vector<uint8_t>> ReadPacket(std::chrono::milliseconds timeout);
    // Reads and discards whatever has arrived; false once the server closed.
    bool Discard();
    // True once the server has closed the connection (within timeout).
    bool ClosedByServer(std::chrono::milliseconds timeout);
    // Sends the register request of libcapi20's remote driver and returns the result word.
    std::optional<uint16_t> Register(uint16_t maxB3Blocks = 7, uint16_t maxB3Length = 2048);

private:
    bool Fill(size_t want, std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    bool eof_ = false;
    std::vector<uint8_t> buffer_;
};

}  // namespace capitest
