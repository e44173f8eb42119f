// The chunk queues between a B3 connection and the transport: what the
// caller queued and the window has no room for yet, and what came in and the
// caller has not taken yet.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "b3_connection.h"

class BufferedConnection : public B3Connection {
public:
    BufferedConnection(CAPIAccess* access, unsigned controllerIndex);

    // Appends the bytes in chunks (length 0: a zero-terminated text with its
    // terminator) and sends while the window allows. False, and nothing
    // queued, without an active B3 connection: the bytes could never go.
    bool QueueData(const std::uint8_t* data, std::size_t length);
    // Moves the oldest received chunk into buffer (which holds a chunk);
    // returns its length, 0 when none waits.
    std::size_t TakeReceivedChunk(std::uint8_t* buffer);
    std::size_t ReceivedChunks() const;
    // How many chunks have come in since the object was made.
    std::uint64_t ChunksArrived() const;
    std::size_t QueuedChunks() const { return sendQueue_.size(); }
    std::size_t ChunkSize() const { return chunkSize_; }

protected:
    bool SendNextBlock() override;
    bool DataOutstanding() const override {
        return B3Connection::DataOutstanding() || !sendQueue_.empty();
    }
    void OnDataReceived(const std::uint8_t* data, std::size_t length) override;
    // Chunks of one call never reach the next: both queues start empty with
    // each call and each B3 connection. What came in before a call ended
    // can still be taken until then; a frame taken so cannot be
    // acknowledged any more, so no command runs on it.
    void OnNewCall() override;
    void OnB3Connected() override;
    void OnCallEnded() override;

private:
    std::size_t chunkSize_;
    std::uint64_t chunksArrived_ = 0;
    std::deque<std::vector<std::uint8_t>> sendQueue_;
    std::deque<std::vector<std::uint8_t>> receiveQueue_;
};
