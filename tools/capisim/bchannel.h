// One direction of a B channel: blocks queued by the sender go onto the wire
// one after the other at the channel's bit rate, are confirmed to the sender
// when their last bit has left, arrive at the far end after the one-way
// delay, and are handed to the receiver only while it has fewer unanswered
// blocks than it registered for. While the receiver is full nothing new is
// put on the wire, so a slow receiver slows the sender instead of losing data.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

#include "wire.h"

namespace capisim {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

struct Block {
    Bytes data;
    uint16_t handle = 0;  // the sender's DataHandle
    uint16_t number = 0;  // the message number of the sender's DATA_B3_REQ
    uint16_t flags = 0;
    TimePoint due{};  // handed over, on the wire until, or arriving at
};

class BlockSink {
public:
    virtual ~BlockSink() = default;
    virtual void Confirm(const Block& block) = 0;
    virtual bool ReceiverHasRoom(size_t held) = 0;
    virtual void Deliver(Block&& block) = 0;
};

class BChannelPipe {
public:
    BChannelPipe(uint32_t bitsPerSecond, std::chrono::microseconds delay)
        : bitsPerSecond_(bitsPerSecond), delay_(delay) {}

    void Submit(Block block, TimePoint now) {
        block.due = now;
        waiting_.push_back(std::move(block));
    }
    // Does everything that is due at now.
    void Pump(TimePoint now, BlockSink& sink);
    std::optional<TimePoint> NextEvent() const;

    size_t Waiting() const { return waiting_.size() + (onWire_ ? 1 : 0); }
    // Nothing confirmed is still on its way to the receiver.
    bool Drained() const { return inFlight_.empty() && held_.empty(); }
    // Drops what has not been confirmed yet; confirmed blocks still arrive.
    void DropUnsent();
    uint64_t BytesDelivered() const { return delivered_; }

private:
    void StartNext(TimePoint start, BlockSink& sink);
    Clock::duration WireTime(size_t bytes) const;

    uint32_t bitsPerSecond_;
    std::chrono::microseconds delay_;
    std::deque<Block> waiting_;
    std::optional<Block> onWire_;  // due = when its last bit has left
    std::deque<Block> inFlight_;   // due = arrival at the far end
    std::deque<Block> held_;
    uint64_t delivered_ = 0;
};

}  // namespace capisim
