// Stations on the real libcapi20, each in its own process and HOME, calling
// each other through one capisim.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "capi_station.h"
#include "capisim_process.h"
#include "raw_client.h"

namespace capitest {
namespace {

constexpr uint32_t kCipSpeech = 1u << 1;
constexpr uint32_t kCipData = 1u << 2;
constexpr uint32_t kCipTelephony = 1u << 16;

Received Expect(Station& s, uint8_t command, uint8_t subcommand) {
    auto r = s.Next();
    EXPECT_TRUE(r) << "no " << CommandName(command, subcommand) << " arrived";
    if (!r) return {};
    EXPECT_EQ(r->Name(), CommandName(command, subcommand));
    return *r;
}

// Expects a CONF with Info 0 and returns it.
Received ExpectOk(Station& s, uint8_t command) {
    Received r = Expect(s, command, CONF);
    // DATA_B3_CONF has the DataHandle before its Info.
    EXPECT_EQ(r.WordAt(command == DATA_B3 ? 14 : 12), 0) << r.Name();
    return r;
}

void ExpectCleared(Station& s, uint16_t b3Reason, uint16_t reason) {
    Received b3 = Expect(s, DISCONNECT_B3, IND);
    EXPECT_EQ(b3.WordAfterAddress(), b3Reason);
    s.Put(DisconnectB3Resp(b3.Address(), b3.Number()));
    Received d = Expect(s, DISCONNECT, IND);
    EXPECT_EQ(d.WordAfterAddress(), reason);
    s.Put(DisconnectResp(d.Address(), d.Number()));
}

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = uint8_t(seed + i * 7);
    return b;
}

struct DataCall {
    uint32_t plciA = 0, plciB = 0, ncciA = 0, ncciB = 0;
};

class CapisimCalls : public ::testing::Test {
protected:
    void StartExchange(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--line",      "A:0:5551001",
                                      "--line",      "B:0:5552001,5552002",
                                      "--call-log",  Log(),
                                      "--ring-time", "1",
                                      "--delay",     "5"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(sim_.Start(args)) << sim_.Error();
    }

    std::unique_ptr<Station> NewStation(const std::string& line, StationOptions options = {}) {
        std::string home =
            MakeCapiHome(dir_.Path(), "home" + std::to_string(++homes_), sim_.Port(line));
        auto station = std::make_unique<Station>(home, options);
        EXPECT_EQ(station->RegisterResult(), std::optional<unsigned>(0u));
        return station;
    }

    void Listen(Station& s, uint32_t cipMask) {
        s.Put(ListenReq(cipMask));
        ExpectOk(s, LISTEN);
    }

    // The whole setup of a data call from a to b, checking every message
    // on both sides up to CONNECT_B3_ACTIVE_IND.
    DataCall Connect(Station& a, Station& b, const std::string& dialled,
                     const std::string& expectCalled) {
        DataCall c;
        EXPECT_EQ(a.Put(ConnectReq(dialled, "5551001", 2)), 0u);
        c.plciA = ExpectOk(a, CONNECT).Address();
        Received ind = Expect(b, CONNECT, IND);
        c.plciB = ind.Address();
        EXPECT_EQ(ind.WordAfterAddress(), 2) << "CIP";
        EXPECT_EQ(CalledDigits(ind.StructAt(14, 0)), expectCalled);
        EXPECT_EQ(CallingDigits(ind.StructAt(14, 1)), "5551001");
        b.Put(ConnectResp(c.plciB, 0, ind.Number()));
        for (Station* s : {&b, &a}) {
            Received active = Expect(*s, CONNECT_ACTIVE, IND);
            EXPECT_EQ(CallingDigits(active.StructAt(12, 0)), expectCalled) << "connected number";
            s->Put(ConnectActiveResp(active.Address(), active.Number()));
        }
        a.Put(ConnectB3Req(c.plciA));
        c.ncciA = ExpectOk(a, CONNECT_B3).Address();
        EXPECT_EQ(c.ncciA & 0xFFFF, c.plciA);
        Received b3 = Expect(b, CONNECT_B3, IND);
        c.ncciB = b3.Address();
        EXPECT_EQ(c.ncciB & 0xFFFF, c.plciB);
        b.Put(ConnectB3Resp(c.ncciB, 0, b3.Number()));
        for (Station* s : {&b, &a}) {
            Received active = Expect(*s, CONNECT_B3_ACTIVE, IND);
            s->Put(ConnectB3ActiveResp(active.Address(), active.Number()));
        }
        return c;
    }

    // Sends blocks from one side and checks that they arrive whole and in
    // order and that each is confirmed with its handle.
    void Transfer(Station& from, uint32_t ncciFrom, Station& to, uint32_t ncciTo,
                  const std::vector<size_t>& sizes, bool data64) {
        std::vector<Bytes> blocks;
        for (size_t i = 0; i < sizes.size(); ++i) {
            blocks.push_back(Pattern(sizes[i], uint8_t(i * 31 + sizes[i])));
            uint16_t handle = uint16_t(100 + i);
            ASSERT_EQ(from.Put(DataB3Req(ncciFrom, uint16_t(sizes[i]), handle, data64), blocks[i]),
                      0u);
        }
        for (size_t i = 0; i < sizes.size(); ++i) {
            Received ind = Expect(to, DATA_B3, IND);
            EXPECT_EQ(ind.Address(), ncciTo);
            EXPECT_EQ(ind.WordAt(16), sizes[i]);
            EXPECT_EQ(ind.data, blocks[i]) << "block " << i;
            to.Put(DataB3Resp(ncciTo, ind.WordAt(18), ind.Number()));
        }
        for (size_t i = 0; i < sizes.size(); ++i) {
            Received conf = ExpectOk(from, DATA_B3);
            EXPECT_EQ(conf.WordAt(12), 100 + i) << "DataHandle";
            EXPECT_EQ(conf.Number(), 100 + i) << "message number of the DATA_B3_REQ";
        }
    }

    std::string Log() const { return dir_.File("calls.jsonl"); }

    TempDir dir_;
    CapisimProcess sim_;
    int homes_ = 0;
};

TEST_F(CapisimCalls, DataCallCarriesBlocksBothWaysAndEitherSideClears) {
    StartExchange();
    struct Case {
        const char* name;
        bool calledClears;
        bool b3First;
    } cases[] = {
        {"caller clears", false, false},
        {"called clears", true, false},
        {"caller clears B3 first", false, true},
    };
    auto a = NewStation("A");
    auto b = NewStation("B");
    Listen(*b, kCipData);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DataCall call = Connect(*a, *b, "5552001", "5552001");
        Transfer(*a, call.ncciA, *b, call.ncciB, {128, 128, 44}, false);
        Transfer(*b, call.ncciB, *a, call.ncciA, {100, 60}, true);

        Station& clearer = c.calledClears ? *b : *a;
        Station& other = c.calledClears ? *a : *b;
        uint32_t plci = c.calledClears ? call.plciB : call.plciA;
        uint32_t ncci = c.calledClears ? call.ncciB : call.ncciA;
        if (c.b3First) {
            clearer.Put(DisconnectB3Req(ncci));
            ExpectOk(clearer, DISCONNECT_B3);
            Received own = Expect(clearer, DISCONNECT_B3, IND);
            clearer.Put(DisconnectB3Resp(own.Address(), own.Number()));
            Received peer = Expect(other, DISCONNECT_B3, IND);
            EXPECT_EQ(peer.WordAfterAddress(), 0);
            other.Put(DisconnectB3Resp(peer.Address(), peer.Number()));
            clearer.Put(DisconnectReq(plci));
            ExpectOk(clearer, DISCONNECT);
            Received d = Expect(clearer, DISCONNECT, IND);
            EXPECT_EQ(d.WordAfterAddress(), 0);
            clearer.Put(DisconnectResp(d.Address(), d.Number()));
            Received od = Expect(other, DISCONNECT, IND);
            EXPECT_EQ(od.WordAfterAddress(), 0x3490);
            other.Put(DisconnectResp(od.Address(), od.Number()));
            continue;
        }
        clearer.Put(DisconnectReq(plci));
        ExpectOk(clearer, DISCONNECT);
        ExpectCleared(clearer, 0, 0);
        ExpectCleared(other, 0, 0x3490);
    }
    auto log = WaitForCallLog(Log(), 3);
    ASSERT_EQ(log.size(), 3u);
    const char* clearedBy[] = {"caller", "called", "caller"};
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i]["outcome"], "answered");
        EXPECT_EQ(log[i]["calling_line"], "A");
        EXPECT_EQ(log[i]["calling_number"], "5551001");
        EXPECT_EQ(log[i]["called_line"], "B");
        EXPECT_EQ(log[i]["cip"], "2");
        EXPECT_EQ(log[i]["reason"], "0x3490");
        EXPECT_EQ(log[i]["cleared_by"], clearedBy[i]);
        EXPECT_EQ(log[i]["bytes_to_called"], "300");
        EXPECT_EQ(log[i]["bytes_to_caller"], "160");
    }
}

TEST_F(CapisimCalls, ManufacturerRequestGetsItsConfirmation) {
    StartExchange();
    auto a = NewStation("A");
    struct Case {
        uint32_t controller;
        uint16_t info;
    } cases[] = {{1, 0x300B}, {2, 0x2002}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.controller);
        a->Put(MsgBuilder(MANUFACTURER, REQ, 0x0815)
                   .Dword(c.controller)
                   .Dword(0x4E4F5641)
                   .Dword(1)
                   .Dword(2)
                   .Struct(Bytes{9})
                   .Build());
        Received conf = Expect(*a, MANUFACTURER, CONF);
        EXPECT_EQ(conf.Number(), 0x0815);
        EXPECT_EQ(conf.Address(), c.controller);
        EXPECT_EQ(conf.DwordAt(12), 0x4E4F5641u) << "ManuID";
        EXPECT_EQ(conf.StructAt(16, 0), (Bytes{uint8_t(c.info), uint8_t(c.info >> 8)}));
    }
    EXPECT_TRUE(a->Quiet(100ms));
}

TEST_F(CapisimCalls, EachRefusalReachesTheCallerWithItsReason) {
    std::ofstream(dir_.File("capisim.ini")) << "[Numbers]\n"
                                               "5557001=busy\n"
                                               "5557002=no-answer\n"
                                               "5557003=reject 8\n";
    StartExchange({"--config", dir_.File("capisim.ini")});
    auto a = NewStation("A");
    auto b = NewStation("B");
    Listen(*b, kCipTelephony);
    auto b2 = NewStation("B");
    Listen(*b2, kCipData);

    struct Case {
        std::string dialled;
        uint16_t cip;
        uint16_t reason;
        const char* outcome;
    } cases[] = {
        {"5559999", 2, 0x3481, "unallocated"},
        {"5552001", 1, 0x34D8, "incompatible"},
        {"5557001", 2, 0x3491, "busy"},
        {"5557002", 2, 0x3492, "no-answer"},
        {"5557003", 2, 0x349B, "rejected"},
        {"5552001", 2, 0x3491, "busy"},  // with both B channels of line B in use
    };
    uint32_t selfPlci = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialled);
        if (&c == &cases[std::size(cases) - 1]) {
            // A call from line B to its own second number takes both its B channels.
            b2->Put(ConnectReq("5552002", "5552001", 2));
            selfPlci = ExpectOk(*b2, CONNECT).Address();
            Received selfInd = Expect(*b2, CONNECT, IND);
            b2->Put(ConnectResp(selfInd.Address(), 0, selfInd.Number()));
            Expect(*b2, CONNECT_ACTIVE, IND);
            Expect(*b2, CONNECT_ACTIVE, IND);
        }
        a->Put(ConnectReq(c.dialled, "5551001", c.cip));
        ExpectOk(*a, CONNECT);
        Received d = Expect(*a, DISCONNECT, IND);
        EXPECT_EQ(d.WordAfterAddress(), c.reason);
        a->Put(DisconnectResp(d.Address(), d.Number()));
    }
    b2->Put(DisconnectReq(selfPlci));
    ExpectOk(*b2, DISCONNECT);
    for (int i = 0; i < 2; ++i) {
        Received d = Expect(*b2, DISCONNECT, IND);
        b2->Put(DisconnectResp(d.Address(), d.Number()));
    }

    // Refused by the application with a Reject value, and left ringing.
    struct Answer {
        std::optional<uint16_t> reject;
        uint16_t reason;
    } answers[] = {{3, 0x3491}, {7, 0x34D8}, {2, 0x3490}, {std::nullopt, 0x3492}};
    for (const Answer& answer : answers) {
        SCOPED_TRACE(answer.reason);
        a->Put(ConnectReq("5552001", "5551001", 2));
        ExpectOk(*a, CONNECT);
        Received ind = Expect(*b2, CONNECT, IND);
        if (answer.reject) b2->Put(ConnectResp(ind.Address(), *answer.reject, ind.Number()));
        Received bd = Expect(*b2, DISCONNECT, IND);
        EXPECT_EQ(bd.WordAfterAddress(), answer.reject ? 0 : 0x34E6);
        b2->Put(DisconnectResp(bd.Address(), bd.Number()));
        Received d = Expect(*a, DISCONNECT, IND);
        EXPECT_EQ(d.WordAfterAddress(), answer.reason);
        a->Put(DisconnectResp(d.Address(), d.Number()));
    }
    auto log = WaitForCallLog(Log(), 11);
    ASSERT_EQ(log.size(), 11u);
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(log[i]["outcome"], cases[i].outcome) << cases[i].dialled;
        EXPECT_EQ(
            log[i]["reason"],
            (std::ostringstream() << "0x" << std::hex << std::uppercase << cases[i].reason).str());
        EXPECT_EQ(log[i]["called_number"], cases[i].dialled);
    }
    EXPECT_TRUE(b->Quiet(100ms)) << "the telephony listener was offered a data call";
}

TEST_F(CapisimCalls, PrefixesAreTakenOffBeforeRoutingAndLogged) {
    StartExchange({"--outside-prefix", "A:0"});
    auto a = NewStation("A");
    auto b = NewStation("B");
    Listen(*b, kCipData);
    struct Case {
        std::string dialled, outside, carrier, number;
    } cases[] = {
        {"0010135552001", "0", "01013", "5552001"},
        {"00100125552002", "0", "010012", "5552002"},
        {"05552002", "0", "", "5552002"},
        {"010335552001", "0", "", "10335552001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialled);
        a->Put(ConnectReq(c.dialled, "5551001", 2));
        ExpectOk(*a, CONNECT);
        if (c.number.size() == 7) {
            Received ind = Expect(*b, CONNECT, IND);
            EXPECT_EQ(CalledDigits(ind.StructAt(14, 0)), c.number);
            b->Put(ConnectResp(ind.Address(), 3, ind.Number()));
            Received bd = Expect(*b, DISCONNECT, IND);
            b->Put(DisconnectResp(bd.Address(), bd.Number()));
        }
        Received d = Expect(*a, DISCONNECT, IND);
        a->Put(DisconnectResp(d.Address(), d.Number()));
    }
    auto log = WaitForCallLog(Log(), std::size(cases));
    ASSERT_EQ(log.size(), std::size(cases));
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i]["dialled"], cases[i].dialled);
        EXPECT_EQ(log[i]["outside_prefix"], cases[i].outside);
        EXPECT_EQ(log[i]["carrier_prefix"], cases[i].carrier);
        EXPECT_EQ(log[i]["called_number"], cases[i].number);
    }
    EXPECT_EQ(log[0]["called_line"], "B");
    EXPECT_EQ(log[3]["outcome"], "unallocated");
}

TEST_F(CapisimCalls, TelephoneCallCommandReachesTelephonyListener) {
    StartExchange();
    auto monitor = NewStation("B");
    Listen(*monitor, kCipSpeech | kCipTelephony);
    ASSERT_TRUE(sim_.Command("call 0301234567 5552002 16 0.3"));
    Received ind = Expect(*monitor, CONNECT, IND);
    EXPECT_EQ(ind.WordAfterAddress(), 16) << "CIP";
    EXPECT_EQ(CalledDigits(ind.StructAt(14, 0)), "5552002");
    EXPECT_EQ(CallingDigits(ind.StructAt(14, 1)), "0301234567");
    monitor->Put(AlertReq(ind.Address()));
    ExpectOk(*monitor, ALERT);
    Received d = Expect(*monitor, DISCONNECT, IND);
    EXPECT_EQ(d.WordAfterAddress(), 0x3490) << "caller hung up";
    monitor->Put(DisconnectResp(d.Address(), d.Number()));

    auto log = WaitForCallLog(Log(), 1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["calling_line"], "null");
    EXPECT_EQ(log[0]["calling_number"], "0301234567");
    EXPECT_EQ(log[0]["called_line"], "B");
    EXPECT_EQ(log[0]["cip"], "16");
    EXPECT_EQ(log[0]["outcome"], "withdrawn");
}

TEST_F(CapisimCalls, FirstApplicationToAcceptGetsTheCall) {
    StartExchange();
    auto a = NewStation("A");
    auto b1 = NewStation("B");
    auto b2 = NewStation("B");
    Listen(*b1, kCipData);
    Listen(*b2, kCipData);
    a->Put(ConnectReq("5552001", "5551001", 2));
    ExpectOk(*a, CONNECT);
    Received i1 = Expect(*b1, CONNECT, IND);
    Received i2 = Expect(*b2, CONNECT, IND);
    EXPECT_EQ(i1.Address(), i2.Address()) << "one PLCI for the call on the line";
    b2->Put(ConnectResp(i2.Address(), 0, i2.Number()));
    Expect(*b2, CONNECT_ACTIVE, IND);
    Expect(*a, CONNECT_ACTIVE, IND);
    Received lost = Expect(*b1, DISCONNECT, IND);
    EXPECT_EQ(lost.WordAfterAddress(), 0x3304);
}

TEST_F(CapisimCalls, ReceiverThatDoesNotAnswerHoldsBackFurtherBlocks) {
    StartExchange();
    auto a = NewStation("A");
    auto b = NewStation("B", StationOptions{2, 2, 2048});
    Listen(*b, kCipData);
    DataCall call = Connect(*a, *b, "5552001", "5552001");
    for (uint16_t i = 0; i < 6; ++i) {
        a->Put(DataB3Req(call.ncciA, 64, i, false), Pattern(64, uint8_t(i)));
    }
    std::vector<Received> got;
    for (int i = 0; i < 2; ++i) got.push_back(Expect(*b, DATA_B3, IND));
    EXPECT_TRUE(b->Quiet(300ms)) << "more blocks than the receiver registered for";
    for (int i = 2; i < 6; ++i) {
        b->Put(DataB3Resp(call.ncciB, got[i - 2].WordAt(18), got[i - 2].Number()));
        got.push_back(Expect(*b, DATA_B3, IND));
    }
    for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i].data, Pattern(64, uint8_t(i))) << i;
}

TEST_F(CapisimCalls, CutEndsATransferOnBothSides) {
    StartExchange();
    auto a = NewStation("A");
    auto b = NewStation("B");
    Listen(*b, kCipData);
    DataCall call = Connect(*a, *b, "5552001", "5552001");
    for (uint16_t i = 0; i < 7; ++i) {
        a->Put(DataB3Req(call.ncciA, 2048, i, true), Pattern(2048, uint8_t(i)));
    }
    Received first = Expect(*b, DATA_B3, IND);
    b->Put(DataB3Resp(call.ncciB, first.WordAt(18), first.Number()));
    ASSERT_TRUE(sim_.Command("cut A"));
    Received b3 = a->WaitFor(DISCONNECT_B3, IND).value_or(Received{});
    EXPECT_EQ(b3.WordAfterAddress(), 0x3301);
    Received d = Expect(*a, DISCONNECT, IND);
    EXPECT_EQ(d.WordAfterAddress(), 0x3301);
    Received pb3 = b->WaitFor(DISCONNECT_B3, IND).value_or(Received{});
    EXPECT_EQ(pb3.Address(), call.ncciB);
    Received pd = Expect(*b, DISCONNECT, IND);
    EXPECT_EQ(pd.WordAfterAddress(), 0x349B);

    auto log = WaitForCallLog(Log(), 1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["cleared_by"], "cut");
    EXPECT_EQ(log[0]["reason"], "0x3301");
    EXPECT_NE(log[0]["bytes_to_called"], "0");
    EXPECT_NE(log[0]["bytes_to_called"], std::to_string(7 * 2048)) << "cut after the transfer";
}

// One application leaves (releases, or is thrown out for a malformed packet)
// in the middle of a call: its peer hears of it and the exchange serves on.
TEST_F(CapisimCalls, ApplicationThatLeavesLosesItsCallsAndNothingElse) {
    StartExchange();
    auto b = NewStation("B");
    Listen(*b, kCipData);

    auto a = NewStation("A");
    Connect(*a, *b, "5552001", "5552001");
    a->Release();
    ExpectCleared(*b, 0, 0x3490);

    RawClient raw(sim_.Port("A"));
    ASSERT_EQ(raw.Register(), std::optional<uint16_t>(0));
    ASSERT_TRUE(raw.SendPacket(ConnectReq("5552002", "5551001", 2)));
    auto conf = raw.ReadPacket(5s);
    ASSERT_TRUE(conf);
    Received ind = Expect(*b, CONNECT, IND);
    b->Put(ConnectResp(ind.Address(), 0, ind.Number()));
    Expect(*b, CONNECT_ACTIVE, IND);
    ASSERT_TRUE(raw.SendPacket({0x0A, 0x00, 0x01, 0x00, 0x86, 0x80, 0x00}));  // cut-off DATA_B3_REQ
    EXPECT_TRUE(raw.ClosedByServer(5s));
    Received d = Expect(*b, DISCONNECT, IND);
    EXPECT_EQ(d.WordAfterAddress(), 0x3490);
    b->Put(DisconnectResp(d.Address(), d.Number()));

    auto again = NewStation("A");
    DataCall next = Connect(*again, *b, "5552001", "5552001");
    Transfer(*again, next.ncciA, *b, next.ncciB, {128}, true);
}

}  // namespace
}  // namespace capitest
