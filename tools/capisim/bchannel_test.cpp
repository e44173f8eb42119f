#include "bchannel.h"

#include <gtest/gtest.h>

namespace capisim {
namespace {

using namespace std::chrono_literals;

struct Sink : BlockSink {
    size_t window = 1000;
    std::vector<std::pair<uint16_t, TimePoint>> confirmed;
    std::vector<Block> delivered;
    std::vector<TimePoint> deliveredAt;
    std::set<uint16_t> unanswered;
    TimePoint now{};

    void Confirm(const Block& b) override { confirmed.push_back({b.handle, now}); }
    bool ReceiverHasRoom(size_t held) override { return unanswered.size() + held < window; }
    void Deliver(Block&& b) override {
        unanswered.insert(b.handle);
        deliveredAt.push_back(now);
        delivered.push_back(std::move(b));
    }
};

// Steps time from event to event, as the event loop would.
void RunUntilIdle(BChannelPipe& pipe, Sink& sink, TimePoint limit) {
    pipe.Pump(sink.now, sink);
    while (auto next = pipe.NextEvent()) {
        if (*next > limit) return;
        sink.now = *next;
        pipe.Pump(sink.now, sink);
    }
}

Block MakeBlock(size_t size, uint16_t handle) {
    Block b;
    b.data.assign(size, uint8_t(handle));
    b.handle = handle;
    return b;
}

TEST(BChannelPipe, CarriesBlocksAtTheBitRateAfterTheDelay) {
    BChannelPipe pipe(64000, 10ms);
    Sink sink;
    for (uint16_t i = 0; i < 128; ++i) pipe.Submit(MakeBlock(128, i), sink.now);
    TimePoint start = sink.now;
    RunUntilIdle(pipe, sink, start + 10s);
    ASSERT_EQ(sink.delivered.size(), 128u);
    EXPECT_EQ(sink.confirmed.front().second - start, 16ms) << "128 bytes at 64 kbit/s";
    EXPECT_EQ(sink.deliveredAt.front() - start, 26ms) << "plus the one-way delay";
    EXPECT_EQ(sink.deliveredAt.back() - start, 2048ms + 10ms) << "16 KiB without drift";
    for (size_t i = 0; i < 128; ++i) EXPECT_EQ(sink.delivered[i].handle, i);
    EXPECT_EQ(pipe.BytesDelivered(), 16384u);
    EXPECT_TRUE(pipe.Drained());
}

TEST(BChannelPipe, FullReceiverStopsTheSenderWithoutLosingBlocks) {
    BChannelPipe pipe(64000, 5ms);
    Sink sink;
    sink.window = 2;
    for (uint16_t i = 0; i < 10; ++i) pipe.Submit(MakeBlock(64, i), sink.now);
    RunUntilIdle(pipe, sink, sink.now + 10s);
    EXPECT_EQ(sink.delivered.size(), 2u);
    EXPECT_LE(sink.confirmed.size(), 3u) << "nothing more goes on the wire";
    EXPECT_FALSE(pipe.NextEvent()) << "no busy waiting while the receiver is full";
    while (sink.delivered.size() < 10) {
        size_t before = sink.delivered.size();
        sink.unanswered.erase(sink.unanswered.begin());
        RunUntilIdle(pipe, sink, sink.now + 10s);
        ASSERT_GT(sink.delivered.size(), before);
    }
    EXPECT_EQ(sink.confirmed.size(), 10u);
    for (uint16_t i = 0; i < 10; ++i) EXPECT_EQ(sink.delivered[i].handle, i);
}

TEST(BChannelPipe, BlockHandedOverLateLeavesLate) {
    BChannelPipe pipe(8000, 0ms);  // one byte per millisecond
    Sink sink;
    pipe.Submit(MakeBlock(10, 1), sink.now);
    RunUntilIdle(pipe, sink, sink.now + 1s);
    sink.now += 100ms;
    pipe.Submit(MakeBlock(10, 2), sink.now);
    TimePoint handedOver = sink.now;
    RunUntilIdle(pipe, sink, sink.now + 1s);
    ASSERT_EQ(sink.confirmed.size(), 2u);
    EXPECT_EQ(sink.confirmed[1].second - handedOver, 10ms);
}

TEST(BChannelPipe, DropUnsentKeepsWhatWasConfirmed) {
    BChannelPipe pipe(64000, 50ms);
    Sink sink;
    for (uint16_t i = 0; i < 4; ++i) pipe.Submit(MakeBlock(128, i), sink.now);
    pipe.Pump(sink.now, sink);
    sink.now += 20ms;  // the first block has left, the second is on the wire
    pipe.Pump(sink.now, sink);
    pipe.DropUnsent();
    EXPECT_EQ(pipe.Waiting(), 0u);
    EXPECT_FALSE(pipe.Drained());
    RunUntilIdle(pipe, sink, sink.now + 1s);
    ASSERT_EQ(sink.delivered.size(), 1u);
    EXPECT_EQ(sink.delivered[0].handle, 0);
    EXPECT_TRUE(pipe.Drained());
}

}  // namespace
}  // namespace capisim
