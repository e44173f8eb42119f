#include "buffered_connection.h"

#include <algorithm>
#include <cstring>

#include "link_log.h"

BufferedConnection::BufferedConnection(CAPIAccess* access, unsigned controllerIndex)
    : B3Connection(access, controllerIndex), chunkSize_(access ? access->MaxB3DataLength() : 0) {}

bool BufferedConnection::QueueData(const std::uint8_t* data, std::size_t length) {
    std::lock_guard lock(LinkMutex());
    if (!Usable() || chunkSize_ == 0 || !data) return false;
    if (!B3Active()) {
        LinkLog().Write("**QueueData: no B3 connection, nothing sent\n");
        return false;
    }
    if (length == 0) length = std::strlen(reinterpret_cast<const char*>(data)) + 1;
    for (std::size_t at = 0; at < length; at += chunkSize_) {
        std::size_t n = std::min(chunkSize_, length - at);
        sendQueue_.emplace_back(data + at, data + at + n);
    }
    while (Unconfirmed() < SendWindow() && SendNextBlock()) {
    }
    return true;
}

bool BufferedConnection::SendNextBlock() {
    if (sendQueue_.empty()) {
        if (Unconfirmed() == 0) OnAllDataSent();
        return false;
    }
    std::vector<std::uint8_t> chunk = std::move(sendQueue_.front());
    sendQueue_.pop_front();
    if (!HasNcci()) {
        LinkLog().Write("**SendNextBlock: no B3 connection, block dropped\n");
        return false;
    }
    SendDataBlock(std::move(chunk));
    return true;
}

void BufferedConnection::OnDataReceived(const std::uint8_t* data, std::size_t length) {
    for (std::size_t at = 0; at < length; at += chunkSize_) {
        std::size_t n = std::min(chunkSize_, length - at);
        receiveQueue_.emplace_back(data + at, data + at + n);
        ++chunksArrived_;
    }
}

std::size_t BufferedConnection::TakeReceivedChunk(std::uint8_t* buffer) {
    std::lock_guard lock(LinkMutex());
    if (receiveQueue_.empty()) return 0;
    std::vector<std::uint8_t> chunk = std::move(receiveQueue_.front());
    receiveQueue_.pop_front();
    std::memcpy(buffer, chunk.data(), chunk.size());
    return chunk.size();
}

std::size_t BufferedConnection::ReceivedChunks() const {
    std::lock_guard lock(LinkMutex());
    return receiveQueue_.size();
}

std::uint64_t BufferedConnection::ChunksArrived() const {
    std::lock_guard lock(LinkMutex());
    return chunksArrived_;
}

void BufferedConnection::OnNewCall() {
    B3Connection::OnNewCall();
    sendQueue_.clear();
    receiveQueue_.clear();
}

void BufferedConnection::OnB3Connected() {
    B3Connection::OnB3Connected();
    sendQueue_.clear();
    receiveQueue_.clear();
}

void BufferedConnection::OnCallEnded() {
    B3Connection::OnCallEnded();
    sendQueue_.clear();
}
