#include "raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace capitest {

RawClient::RawClient(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(uint16_t(port));
    if (fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

RawClient::~RawClient() {
    if (fd_ >= 0) close(fd_);
}

bool RawClient::SendRaw(const std::vector<uint8_t>& bytes) {
    size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += size_t(n);
    }
    return fd_ >= 0;
}

bool RawClient::SendPacket(const std::vector<uint8_t>& body) {
    size_t length = body.size() + 2;
    std::vector<uint8_t> packet(length);
    packet[0] = uint8_t(length >> 8);
    packet[1] = uint8_t(length);
    std::copy(body.begin(), body.end(), packet.begin() + 2);
    return SendRaw(packet);
}

bool RawClient::Fill(size_t want, std::chrono::steady_clock::time_point deadline) {
    while (buffer_.size() < want && !eof_) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0) continue;
        uint8_t chunk[4096];
        ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            eof_ = true;
            break;
        }
        buffer_.insert(buffer_.end(), chunk, chunk + n);
    }
    return buffer_.size() >= want;
}

std::optional<std::vector<uint8_t>> RawClient::ReadPacket(std::chrono::milliseconds timeout) {
    if (fd_ < 0) return std::nullopt;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    if (!Fill(2, deadline)) return std::nullopt;
    size_t length = size_t(buffer_[0]) << 8 | buffer_[1];
    if (length < 2 || !Fill(length, deadline)) return std::nullopt;
    std::vector<uint8_t> body(buffer_.begin() + 2, buffer_.begin() + length);
    buffer_.erase(buffer_.begin(), buffer_.begin() + length);
    return body;
}

bool RawClient::Discard() {
    uint8_t chunk[16384];
    while (fd_ >= 0 && !eof_) {
        ssize_t n = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) eof_ = true;
    }
    buffer_.clear();
    return !eof_;
}

bool RawClient::ClosedByServer(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!eof_ && std::chrono::steady_clock::now() < deadline) {
        buffer_.clear();
        Fill(1, deadline);
    }
    return eof_;
}

std::optional<uint16_t> RawClient::Register(uint16_t maxB3Blocks, uint16_t maxB3Length) {
    std::vector<uint8_t> body{0, 0, 0, 0, 0xF2, 0xFF, 0, 0, 0, 0, 0, 0, 0x00, 0x08, 2, 0};
    for (uint16_t v : {maxB3Blocks, maxB3Length}) {
        body.push_back(uint8_t(v));
        body.push_back(uint8_t(v >> 8));
    }
    body.push_back(2);
    if (!SendPacket(body)) return std::nullopt;
    auto reply = ReadPacket(std::chrono::seconds(5));
    if (!reply || reply->size() < 10 || (*reply)[4] != 0xF3 || (*reply)[5] != 0xFF) {
        return std::nullopt;
    }
    return uint16_t((*reply)[8] | (*reply)[9] << 8);
}

}  // namespace capitest
