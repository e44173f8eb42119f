#include "exchange.h"

#include <gtest/gtest.h>

#include <deque>

namespace capisim {
namespace {

using namespace std::chrono_literals;

struct Recorder : ExchangeOutput {
    std::map<AppId, std::deque<Message>> inbox;
    std::vector<CallRecord> calls;
    void Send(AppId app, const Message& m) override { inbox[app].push_back(m); }
    void CallEnded(const CallRecord& r) override { calls.push_back(r); }
    void MessageAccepted(const SmsRecord&) override {}
};

constexpr AppId kA = 1, kB = 2;

Bytes BProtocol(uint16_t b1, uint16_t b2, uint16_t b3) {
    return {uint8_t(b1), 0, uint8_t(b2), 0, uint8_t(b3), 0, 0, 0, 0};
}

Message ConnectReq(const std::string& number, Bytes bProtocol = {}, uint32_t controller = 1) {
    return Make(kConnect, kReq, 7,
                {controller, 2u, CalledNumberStruct(number), CallingNumberStruct("1"), Bytes{},
                 Bytes{}, bProtocol, Bytes{}, Bytes{}, Bytes{}, Bytes{}});
}

class ExchangeTest : public ::testing::Test {
protected:
    ExchangeTest() : exchange_(Plan(), Settings(), out_) {
        exchange_.Register(kA, 0, {2, 7, 256});
        exchange_.Register(kB, 1, {2, 7, 2048});
    }

    static NumberPlan Plan() { return NumberPlan({{"A", 0, {"1"}, ""}, {"B", 0, {"2"}, ""}}, {}); }
    static ExchangeSettings Settings() {
        ExchangeSettings s;
        s.delay = 10ms;
        s.ringTime = 5s;
        return s;
    }

    void Put(AppId app, const Message& m) {
        exchange_.Handle(app, m, now_);
        exchange_.Advance(now_);
    }

    void Elapse(Clock::duration d) {
        TimePoint end = now_ + d;
        while (auto next = exchange_.NextDeadline()) {
            if (*next > end) break;
            now_ = std::max(now_, *next);
            exchange_.Advance(now_);
        }
        now_ = end;
        exchange_.Advance(now_);
    }

    Message Take(AppId app, uint8_t command, uint8_t subcommand) {
        auto& box = out_.inbox[app];
        EXPECT_FALSE(box.empty()) << "expected " << CommandName(command, subcommand);
        if (box.empty()) return {};
        Message m = box.front();
        box.pop_front();
        EXPECT_EQ(CommandName(m.command, m.subcommand), CommandName(command, subcommand));
        return m;
    }

    uint16_t Info(AppId app, uint8_t command) {
        Message conf = Take(app, command, kConf);
        return uint16_t(conf.Value(command == kDataB3 ? 2 : 1));
    }

    // A connected call from A to B with B3 up; returns A's PLCI.
    uint32_t Connected() {
        Put(kB, Make(kListen, kReq, 1, {1u, 0u, 4u, 0u, Bytes{}, Bytes{}}));
        EXPECT_EQ(Info(kB, kListen), 0);
        Put(kA, ConnectReq("2"));
        uint32_t plciA = Take(kA, kConnect, kConf).Address();
        uint32_t plciB = Take(kB, kConnect, kInd).Address();
        Put(kB, Make(kConnect, kResp, 0, {plciB, 0u}));
        Take(kB, kConnectActive, kInd);
        Take(kA, kConnectActive, kInd);
        Put(kA, Make(kConnectB3, kReq, 3, {plciA, Bytes{}}));
        Take(kA, kConnectB3, kConf);
        uint32_t ncciB = Take(kB, kConnectB3, kInd).Address();
        Put(kB, Make(kConnectB3, kResp, 0, {ncciB, 0u, Bytes{}}));
        Take(kB, kConnectB3Active, kInd);
        Take(kA, kConnectB3Active, kInd);
        return plciA;
    }

    Recorder out_;
    TimePoint now_{};
    Exchange exchange_;
};

TEST_F(ExchangeTest, RequestsWithWrongAddressesOrValuesAreRefusedWithTheirInfo) {
    struct Case {
        const char* name;
        Message request;
        uint16_t info;
    } cases[] = {
        {"LISTEN to controller 2", Make(kListen, kReq, 1, {2u, 0u, 4u, 0u}), 0x2002},
        {"CONNECT to controller 2", ConnectReq("2", {}, 2), 0x2002},
        {"B1 not offered", ConnectReq("2", BProtocol(5, 0, 0)), 0x3001},
        {"B2 not offered", ConnectReq("2", BProtocol(0, 9, 0)), 0x3002},
        {"B3 not offered", ConnectReq("2", BProtocol(0, 0, 1)), 0x3003},
        {"B protocol cut short", ConnectReq("2", Bytes{0, 0}), 0x2007},
        {"CONNECT_B3 on no PLCI", Make(kConnectB3, kReq, 1, {0x301u, Bytes{}}), 0x2002},
        {"DISCONNECT of no PLCI", Make(kDisconnect, kReq, 1, {0x301u, Bytes{}}), 0x2002},
        {"ALERT of no PLCI", Make(kAlert, kReq, 1, {0x301u, Bytes{}}), 0x2002},
        {"DISCONNECT_B3 of no NCCI", Make(kDisconnectB3, kReq, 1, {0x10301u, Bytes{}}), 0x2002},
        {"RESET_B3 of no NCCI", Make(kResetB3, kReq, 1, {0x10301u, Bytes{}}), 0x2002},
        {"FACILITY", Make(kFacility, kReq, 1, {1u, 1u, Bytes{}}), 0x300B},
        {"INFO to the controller", Make(kInfo, kReq, 1, {1u, Bytes{}, Bytes{}}), 0},
    };
    for (const Case& c : cases) {
        Put(kA, c.request);
        EXPECT_EQ(Info(kA, c.request.command), c.info) << c.name;
        EXPECT_TRUE(out_.inbox[kA].empty()) << c.name;
    }
    Message data = Make(kDataB3, kReq, 1, {0x10301u, 0u, 1u, 0x4711u, 0u});
    data.data = {1};
    Put(kA, data);
    Message conf = Take(kA, kDataB3, kConf);
    EXPECT_EQ(conf.Value(1), 0x4711u) << "the DataHandle comes back";
    EXPECT_EQ(conf.Value(2), 0x2002u);
}

TEST_F(ExchangeTest, ManufacturerRequestsAreRefusedWithTheirNumberAndManuId) {
    struct Case {
        uint32_t controller;
        uint16_t info;
    } cases[] = {{1, 0x300B}, {2, 0x2002}};
    for (const Case& c : cases) {
        Put(kA, Make(kManufacturer, kReq, 0x4321, {c.controller, 0x4E4F5641u}));
        Message conf = Take(kA, kManufacturer, kConf);
        EXPECT_EQ(conf.number, 0x4321);
        EXPECT_EQ(conf.Address(), c.controller);
        EXPECT_EQ(conf.Value(1), 0x4E4F5641u) << "ManuID";
        EXPECT_EQ(conf.Struct(2), (Bytes{uint8_t(c.info), uint8_t(c.info >> 8)}));
    }
}

TEST_F(ExchangeTest, B3BeforeTheCallIsActiveIsNotInState) {
    Put(kB, Make(kListen, kReq, 1, {1u, 0u, 4u, 0u}));
    Info(kB, kListen);
    Put(kA, ConnectReq("2"));
    uint32_t plci = Take(kA, kConnect, kConf).Address();
    Put(kA, Make(kConnectB3, kReq, 3, {plci, Bytes{}}));
    EXPECT_EQ(Info(kA, kConnectB3), 0x2001);
}

TEST_F(ExchangeTest, DataLongerThanRegisteredIsRefused) {
    uint32_t plciA = Connected();
    Message data = Make(kDataB3, kReq, 1, {plciA | 0x10000u, 0u, 257u, 1u, 0u});
    data.data.assign(257, 0);
    Put(kA, data);
    EXPECT_EQ(Info(kA, kDataB3), 0x300C) << "A registered 256-byte blocks";
}

// Whether confirmed at once or once the block has left the line, the
// confirmation carries the message number of its request.
TEST_F(ExchangeTest, DataB3ConfCarriesTheMessageNumberOfItsRequest) {
    uint32_t ncci = Connected() | 0x10000u;
    struct Request {
        uint16_t number, handle, length, info;
    } requests[] = {{0x1234, 7, 100, 0}, {0xBEEF, 8, 257, 0x300C}, {0xFFFF, 9, 50, 0}};
    for (const Request& b : requests) {
        Message data = Make(kDataB3, kReq, b.number, {ncci, 0u, b.length, b.handle, 0u});
        data.data.assign(b.length, 0x5A);
        Put(kA, data);
    }
    Elapse(100ms);
    std::map<uint16_t, Message> byHandle;
    for (size_t i = 0; i < std::size(requests); ++i) {
        Message conf = Take(kA, kDataB3, kConf);
        byHandle[uint16_t(conf.Value(1))] = conf;
    }
    for (const Request& b : requests) {
        SCOPED_TRACE(b.handle);
        ASSERT_TRUE(byHandle.count(b.handle));
        EXPECT_EQ(byHandle[b.handle].number, b.number);
        EXPECT_EQ(byHandle[b.handle].Value(2), b.info);
    }
}

TEST_F(ExchangeTest, ClearingWaitsForConfirmedDataToArrive) {
    uint32_t plciA = Connected();
    Message data = Make(kDataB3, kReq, 1, {plciA | 0x10000u, 0u, 200u, 9u, 0u});
    data.data.assign(200, 0x11);
    Put(kA, data);
    Elapse(30ms);  // 25 ms on the wire: confirmed, still on its way
    EXPECT_EQ(Info(kA, kDataB3), 0);
    Put(kA, Make(kDisconnect, kReq, 2, {plciA, Bytes{}}));
    EXPECT_EQ(Info(kA, kDisconnect), 0);
    EXPECT_EQ(Take(kA, kDisconnectB3, kInd).Value(1), 0u);
    EXPECT_EQ(Take(kA, kDisconnect, kInd).Value(1), 0u);
    EXPECT_TRUE(out_.inbox[kB].empty()) << "B hears of the clearing only after the data";
    Elapse(10ms);
    Message ind = Take(kB, kDataB3, kInd);
    EXPECT_EQ(ind.data, Bytes(200, 0x11));
    EXPECT_EQ(Take(kB, kDisconnectB3, kInd).Value(1), 0u);
    EXPECT_EQ(Take(kB, kDisconnect, kInd).Value(1), 0x3490u);
    ASSERT_EQ(out_.calls.size(), 1u);
    EXPECT_EQ(out_.calls[0].bytesToCalled, 200u);
    EXPECT_EQ(out_.calls[0].clearedBy, "caller");
}

// The orderly clearing of a link: DISCONNECT_B3_REQ, and DISCONNECT_REQ as
// soon as its DISCONNECT_B3_IND came. The last block (often an
// acknowledgement) still reaches the other side before it hears of it.
TEST_F(ExchangeTest, ClearingTheDataConnectionFirstAlsoWaitsForConfirmedData) {
    uint32_t plciA = Connected();
    uint32_t ncciA = plciA | 0x10000u;
    Message data = Make(kDataB3, kReq, 1, {ncciA, 0u, 2u, 4u, 0u});
    data.data = {0x01, 0x0A};
    Put(kA, data);
    Elapse(1ms);
    EXPECT_EQ(Info(kA, kDataB3), 0);
    Put(kA, Make(kDisconnectB3, kReq, 2, {ncciA, Bytes{}}));
    EXPECT_EQ(Info(kA, kDisconnectB3), 0);
    EXPECT_EQ(Take(kA, kDisconnectB3, kInd).Value(1), 0u);
    Put(kA, Make(kDisconnect, kReq, 3, {plciA, Bytes{}}));
    EXPECT_EQ(Info(kA, kDisconnect), 0);
    EXPECT_EQ(Take(kA, kDisconnect, kInd).Value(1), 0u);
    EXPECT_TRUE(out_.inbox[kB].empty()) << "B hears of the clearing only after the data";
    Elapse(10ms);
    EXPECT_EQ(Take(kB, kDataB3, kInd).data, (Bytes{0x01, 0x0A}));
    EXPECT_EQ(Take(kB, kDisconnectB3, kInd).Value(1), 0u);
    EXPECT_EQ(Take(kB, kDisconnect, kInd).Value(1), 0x3490u);
    ASSERT_EQ(out_.calls.size(), 1u);
    EXPECT_EQ(out_.calls[0].clearedBy, "caller");
}

TEST_F(ExchangeTest, RingingEndsAfterTheRingTimeOrWhenTheCallerGivesUp) {
    Put(kB, Make(kListen, kReq, 1, {1u, 0u, 4u, 0u}));
    Info(kB, kListen);
    for (bool callerGivesUp : {false, true}) {
        Put(kA, ConnectReq("2"));
        uint32_t plciA = Take(kA, kConnect, kConf).Address();
        uint32_t plciB = Take(kB, kConnect, kInd).Address();
        Elapse(4900ms);
        EXPECT_TRUE(out_.inbox[kA].empty());
        if (callerGivesUp) {
            Put(kA, Make(kDisconnect, kReq, 2, {plciA, Bytes{}}));
            Info(kA, kDisconnect);
        } else {
            Elapse(100ms);
        }
        EXPECT_EQ(Take(kA, kDisconnect, kInd).Value(1), callerGivesUp ? 0u : 0x3492u);
        EXPECT_EQ(Take(kB, kDisconnect, kInd).Value(1), callerGivesUp ? 0x3490u : 0x34E6u);
        Put(kA, Make(kDisconnect, kResp, 0, {plciA}));
        Put(kB, Make(kDisconnect, kResp, 0, {plciB}));
    }
    ASSERT_EQ(out_.calls.size(), 2u);
    EXPECT_EQ(out_.calls[0].outcome, "no-answer");
    EXPECT_EQ(out_.calls[1].outcome, "abandoned");
    EXPECT_FALSE(exchange_.NextDeadline()) << "no call left behind";
}

TEST_F(ExchangeTest, PlciIsFreeAgainOnlyAfterDisconnectResp) {
    Put(kB, Make(kListen, kReq, 1, {1u, 0u, 4u, 0u}));
    Info(kB, kListen);
    Put(kA, ConnectReq("9"));
    uint32_t first = Take(kA, kConnect, kConf).Address();
    EXPECT_EQ(Take(kA, kDisconnect, kInd).Value(1), 0x3481u);
    Put(kA, ConnectReq("9"));
    uint32_t second = Take(kA, kConnect, kConf).Address();
    EXPECT_NE(first, second) << "first PLCI still owes its DISCONNECT_RESP";
    Take(kA, kDisconnect, kInd);
    Put(kA, Make(kDisconnect, kResp, 0, {first}));
    Put(kA, ConnectReq("9"));
    EXPECT_EQ(Take(kA, kConnect, kConf).Address(), first);
}

}  // namespace
}  // namespace capisim
