#include "call_monitor.h"

#include <gtest/gtest.h>

namespace {

using monitor::Bytes;

constexpr std::time_t kNow = 1700000000;
constexpr std::uint16_t kApplId = 3;

class RecordingOutbox : public CapiOutbox {
public:
    unsigned Put(const Bytes& message) override {
        puts.push_back(message);
        return result;
    }
    std::vector<Bytes> puts;
    unsigned result = 0;
};

Bytes Message(std::uint8_t command, std::uint8_t subcommand, std::uint16_t number,
              const Bytes& params) {
    std::size_t length = 8 + params.size();
    Bytes m(length);
    m[0] = std::uint8_t(length);
    m[1] = std::uint8_t(length >> 8);
    m[2] = kApplId;
    m[4] = command;
    m[5] = subcommand;
    m[6] = std::uint8_t(number);
    m[7] = std::uint8_t(number >> 8);
    std::copy(params.begin(), params.end(), m.begin() + 8);
    return m;
}

// A call offered on PLCI 0x0201 to MSN 5551001 from the national number 030 1234567.
Bytes ConnectInd(std::uint16_t cip, std::uint16_t number) {
    Bytes params{0x01, 0x02, 0x00, 0x00, std::uint8_t(cip),
                 0x00, 8,    0x81, '5',  '5',
                 '5',  '1',  '0',  '0',  '1',
                 11,   0x21, 0x80, '3',  '0',
                 '1',  '2',  '3',  '4',  '5',
                 '6',  '7'};
    for (int i = 0; i < 7; ++i) params.push_back(0);
    return Message(monitor::kConnect, monitor::kInd, number, params);
}

class CallMonitorTest : public testing::Test {
protected:
    void Handle(const Bytes& m) { monitor_.Handle(m.data(), m.size()); }

    RecordingOutbox outbox_;
    std::vector<PhoneCall> reported_;
    CallMonitor monitor_{kApplId, outbox_, [this](const PhoneCall& c) { reported_.push_back(c); },
                         [] { return kNow; }};
};

TEST_F(CallMonitorTest, ListensAndKnowsWhetherTheControllerAgreed) {
    EXPECT_EQ(monitor_.State(), CallMonitor::ListenState::NotAsked);
    ASSERT_TRUE(monitor_.Listen(1));
    ASSERT_EQ(outbox_.puts.size(), 1u);
    EXPECT_EQ(outbox_.puts[0], monitor::ListenReq(kApplId, 1, 1, 0x04010032));
    EXPECT_EQ(monitor_.State(), CallMonitor::ListenState::Pending);
    Handle(Message(monitor::kListen, monitor::kConf, 1, {1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(monitor_.State(), CallMonitor::ListenState::Listening);
}

TEST_F(CallMonitorTest, ARefusedListenIsKeptWithItsInfo) {
    monitor_.Listen(1);
    Handle(Message(monitor::kListen, monitor::kConf, 1, {1, 0, 0, 0, 0x02, 0x20}));
    EXPECT_EQ(monitor_.State(), CallMonitor::ListenState::Refused);
    EXPECT_EQ(monitor_.ListenError(), 0x2002u);

    RecordingOutbox failing;
    failing.result = 0x1101;
    CallMonitor other(kApplId, failing, [](const PhoneCall&) {});
    EXPECT_FALSE(other.Listen(1));
    EXPECT_EQ(other.State(), CallMonitor::ListenState::Refused);
    EXPECT_EQ(other.ListenError(), 0x1101u);
}

TEST_F(CallMonitorTest, EveryOfferedCallIsIgnoredAndOnlyTelephoneCallsAreReported) {
    struct Case {
        std::uint16_t cip;
        const char* service;  // nullptr: not reported
    } cases[] = {{1, "Sprache"}, {4, "3,1 kHz Audio"}, {16, "Telefonie"},
                 {2, nullptr},   {17, nullptr},        {0, nullptr}};
    std::uint16_t number = 0x8000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cip);
        outbox_.puts.clear();
        reported_.clear();
        Handle(ConnectInd(c.cip, ++number));
        // One CONNECT_RESP with Reject 1 on the same PLCI and message number.
        ASSERT_EQ(outbox_.puts.size(), 1u);
        EXPECT_EQ(outbox_.puts[0], monitor::ConnectResp(kApplId, number, 0x0201, 1));
        if (!c.service) {
            EXPECT_TRUE(reported_.empty());
            continue;
        }
        ASSERT_EQ(reported_.size(), 1u);
        const PhoneCall& call = reported_[0];
        EXPECT_EQ(call.time, kNow);
        EXPECT_EQ(call.msn, "5551001");
        EXPECT_EQ(call.number, "0301234567");
        EXPECT_FALSE(call.withheld);
        EXPECT_EQ(call.cip, c.cip);
        EXPECT_EQ(call.service, c.service);
    }
}

TEST_F(CallMonitorTest, AnUnreadableOfferIsStillIgnoredButNotReported) {
    // The calling number struct runs past the message.
    Handle(Message(monitor::kConnect, monitor::kInd, 4, {0x01, 0x02, 0, 0, 16, 0, 1, 0x81, 30}));
    ASSERT_EQ(outbox_.puts.size(), 1u);
    EXPECT_EQ(outbox_.puts[0], monitor::ConnectResp(kApplId, 4, 0x0201, 1));
    EXPECT_TRUE(reported_.empty());
}

TEST_F(CallMonitorTest, OtherIndicationsAreAnsweredAndConfirmationsNot) {
    Handle(Message(monitor::kDisconnect, monitor::kInd, 7, {0x01, 0x02, 0, 0, 0xE6, 0x34}));
    Handle(Message(monitor::kConnect, monitor::kConf, 2, {0x01, 0x02, 0, 0, 0, 0}));
    Handle(Bytes{3, 0, 1});
    ASSERT_EQ(outbox_.puts.size(), 1u);
    EXPECT_EQ(outbox_.puts[0],
              (Bytes{12, 0, kApplId, 0, monitor::kDisconnect, monitor::kResp, 7, 0, 1, 2, 0, 0}));
    EXPECT_TRUE(reported_.empty());
}

}  // namespace
