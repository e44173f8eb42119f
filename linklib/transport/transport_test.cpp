#include "com_interface.h"
#include "com_link.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link_log.h"
#include "test_dir.h"
#include "waitstep.h"

namespace {

using Clock = std::chrono::steady_clock;

// Exposes the raw block operations that derived link classes use.
class RawLink : public CRComObj {
public:
    using CRComObj::Get;
    using CRComObj::Send;
};

// A carrier whose entries a test scripts through these globals.
struct Carrier {
    std::atomic<int> connects{0};
    std::atomic<int> disconnects{0};
    std::atomic<long> lastDisconnectWait{-1};
    std::string address, parameter;
    std::vector<std::vector<BYTE>> toDeliver;
    std::vector<BYTE> sent;

    void Reset() {
        connects = 0;
        disconnects = 0;
        lastDisconnectWait = -1;
        address.clear();
        parameter.clear();
        toDeliver.clear();
        sent.clear();
    }
};
Carrier carrier;

BOOL CarrierConnect(const char* address, const char* parameter, DWORD) {
    carrier.address = address ? address : "";
    carrier.parameter = parameter ? parameter : "(none)";
    ++carrier.connects;
    return TRUE;
}
BOOL CarrierDisconnect(DWORD waitSteps) {
    carrier.lastDisconnectWait = waitSteps;
    ++carrier.disconnects;
    return TRUE;
}
BOOL CarrierStartServer(const char*) {
    return TRUE;
}
BOOL CarrierGetData(BYTE* buffer, DWORD* length) {
    *length = 0;
    if (carrier.toDeliver.empty()) return TRUE;
    auto block = carrier.toDeliver.front();
    carrier.toDeliver.erase(carrier.toDeliver.begin());
    std::copy(block.begin(), block.end(), buffer);
    *length = static_cast<DWORD>(block.size());
    return TRUE;
}
BOOL CarrierSendData(const BYTE* data, DWORD length) {
    carrier.sent.assign(data, data + length);
    return TRUE;
}

class Transport : public ::testing::Test {
protected:
    TestDir dir;
    void SetUp() override {
        carrier.Reset();
        dir.Put("Telvora.cfg", "[Parameters]\ndebug=1\n");
        LinkLog().Init(dir.File("Velo.log"), dir.File("Telvora.cfg"));
    }
    void TearDown() override { LinkLog().Init(dir.File("Velo.log"), dir.File("none.cfg")); }
    std::string Log() { return dir.Get("Velo.log"); }
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
    static void UseCarrier() {
        CROCallBacks callBacks{&CarrierConnect, &CarrierDisconnect, &CarrierStartServer,
                               &CarrierGetData, &CarrierSendData};
        ASSERT_TRUE(CROSetCallBackFn(&callBacks));
    }
    static long Millis(Clock::time_point since) {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
    }
};

TEST_F(Transport, MissingEntriesFailEveryOperation) {
    RawLink link;
    CROCallBacks none{};
    ASSERT_TRUE(CROSetCallBackFn(&none));
    CRComInterface* i = link.GetLinkInterface();
    BYTE block[128] = {1};
    DWORD length = 5;
    EXPECT_EQ(i->Connect("123", nullptr, 3), RCO_CONNECT_FAILED);
    EXPECT_EQ(i->Disconnect(3), RCO_DISCONNECT_FAILED);
    EXPECT_EQ(i->StartServer(""), RCO_CALL_FAILED);
    EXPECT_EQ(i->Send(block, 1), RCO_CALL_FAILED);
    EXPECT_EQ(i->Get(block, length, 3), RCO_CALL_FAILED);
    EXPECT_EQ(link.StartServer(nullptr), RCO_CALL_FAILED);
    std::string log = Log();
    EXPECT_EQ(Count(log, ":++lpfnDummy\n"), 6);
    EXPECT_NE(log.find("**CRComInterface::Send ERROR (65534)\n"), std::string::npos);
    EXPECT_NE(log.find(" lpfnConnectReq=00000000\n"), std::string::npos);
}

TEST_F(Transport, ConnectWithoutWaitingReportsTheStateOfThisMoment) {
    RawLink link;
    UseCarrier();
    auto start = Clock::now();
    EXPECT_EQ(link.Connect(const_cast<char*>("0301"), nullptr, 0), RCO_CONNECT_FAILED);
    EXPECT_LT(Millis(start), 100);
    EXPECT_EQ(carrier.address, "0301");
    EXPECT_EQ(carrier.parameter, "(none)");
    EXPECT_TRUE(RCOConnectInd("par"));
    EXPECT_TRUE(link.IsConnected());
    EXPECT_STREQ(link.GetConnectionPar(), "par");
    EXPECT_EQ(link.Connect(const_cast<char*>("0301"), nullptr, 5), RCO_ALREADY_CONNECTED);
    EXPECT_EQ(carrier.connects, 1);
}

TEST_F(Transport, ConnectReturnsOnceTheCarrierReportsTheLink) {
    RawLink link;
    UseCarrier();
    std::thread line([] {
        while (carrier.connects == 0) std::this_thread::yield();
        RCOConnectInd("");
    });
    auto start = Clock::now();
    EXPECT_EQ(link.Connect(const_cast<char*>("1"), const_cast<char*>("2"), 50), RCO_OK);
    line.join();
    EXPECT_LT(Millis(start), 1000);
    EXPECT_EQ(carrier.parameter, "2");
    std::thread drop([] {
        while (carrier.disconnects == 0) std::this_thread::yield();
        RCODisconnectInd(0x3490);
    });
    EXPECT_EQ(link.Disconnect(50), RCO_OK);
    drop.join();
    EXPECT_EQ(carrier.lastDisconnectWait, 50);
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(link.Disconnect(50), RCO_NOT_CONNECTED);
    unsigned short reason = 0;
    EXPECT_STREQ(link.GetDisconnectInfo(reason), "Normaler Verbindungsabbau[#3490]");
}

TEST_F(Transport, ConnectThatNeverComesUpFailsAfterItsSteps) {
    RawLink link;
    UseCarrier();
    auto start = Clock::now();
    EXPECT_EQ(link.Connect(const_cast<char*>("1"), nullptr, 3), RCO_CONNECT_FAILED);
    EXPECT_GE(Millis(start), 280);
}

TEST_F(Transport, GetWaitsItsStepsAndTimesOutAsSuccess) {
    RawLink link;
    UseCarrier();
    RCOConnectInd("");
    BYTE block[128];
    unsigned long length = 99;
    auto start = Clock::now();
    EXPECT_EQ(link.Get(block, &length, 5), RCO_OK);
    long took = Millis(start);
    EXPECT_EQ(length, 0u);
    EXPECT_GE(took, 480);
    EXPECT_LT(took, 1500);
    EXPECT_EQ(link.Get(block, &length, 0), RCO_TIMEOUT);
    EXPECT_NE(Log().find("  CRComInterface::Get After ["), std::string::npos);
}

TEST_F(Transport, GetHandsOutWaitingBlocksThenReportsTheDrop) {
    RawLink link;
    UseCarrier();
    RCOConnectInd("");
    carrier.toDeliver = {{1, 2, 3}, {4}};
    BYTE block[128];
    unsigned long length = 0;
    ASSERT_EQ(link.Get(block, &length, 5), RCO_OK);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(block[2], 3);
    RCODisconnectInd(0x3301);
    ASSERT_EQ(link.Get(block, &length, 5), RCO_OK) << "a block that came before the drop";
    EXPECT_EQ(length, 1u);
    auto start = Clock::now();
    EXPECT_EQ(link.Get(block, &length, 5), RCO_NOT_CONNECTED);
    EXPECT_LT(Millis(start), 400) << "the drop is seen at the next try";
}

TEST_F(Transport, SendPassesTheBlockToTheCarrier) {
    RawLink link;
    UseCarrier();
    BYTE block[] = {9, 8, 7};
    EXPECT_EQ(link.Send(block, 3, 250), RCO_OK);
    EXPECT_EQ(carrier.sent, (std::vector<BYTE>{9, 8, 7}));
    EXPECT_NE(Log().find("--CRComInterface::Send\n"), std::string::npos);
}

TEST_F(Transport, IndicationsReachTheNewestObjectOnly) {
    EXPECT_FALSE(RCOConnectInd(""));
    EXPECT_FALSE(RCODisconnectInd(1));
    EXPECT_FALSE(RCODataRecvInd());
    EXPECT_FALSE(RCODataSentInd());
    CROCallBacks none{};
    EXPECT_FALSE(CROSetCallBackFn(&none));
    EXPECT_FALSE(RCOInitLinkDLL(FALSE));
    {
        RawLink first;
        RawLink second;
        EXPECT_TRUE(RCOConnectInd("x"));
        EXPECT_TRUE(RCODataSentInd());
        EXPECT_TRUE(RCODataRecvInd());
        EXPECT_TRUE(second.IsConnected());
        EXPECT_TRUE(second.GetLinkInterface()->DataSent());
        EXPECT_FALSE(first.IsConnected());
        EXPECT_EQ(second.IsDataPending(), 0);
    }
    EXPECT_FALSE(RCOConnectInd(""));
    std::string log = Log();
    EXPECT_NE(log.find(":++RCOConnectInd\n"), std::string::npos);
    EXPECT_NE(log.find(":++RCOConnectInd: lpszPar=[x]\n"), std::string::npos);
    EXPECT_NE(log.find(":--RCOConnectInd\n"), std::string::npos);
    EXPECT_NE(log.find(":++RCODataSentInd\n"), std::string::npos);
    EXPECT_NE(log.find(":++RCODataRecvInd\n"), std::string::npos);
}

TEST_F(Transport, DestroyingTheObjectClearsTheLineAtOnce) {
    {
        RawLink link;
        UseCarrier();
    }
    EXPECT_EQ(carrier.disconnects, 1);
    EXPECT_EQ(carrier.lastDisconnectWait, 0);
}

TEST_F(Transport, WaitStepsRunTheThreadsHookAndStopOnQuit) {
    RawLink link;
    UseCarrier();
    int hooked = 0;
    auto previous = SetWaitStepHook([&] {
        ++hooked;
        return hooked == 2 ? PendingEvent::Quit : PendingEvent::Handled;
    });
    auto start = Clock::now();
    EXPECT_EQ(link.WaitForConnection(3), 0);
    EXPECT_EQ(hooked, 2) << "the quit ends the wait";
    EXPECT_LT(Millis(start), 190);
    hooked = 10;
    EXPECT_EQ(link.WaitForConnection(0), 0);
    EXPECT_EQ(hooked, 11) << "at least one step";
    SetWaitStepHook(previous);
}

TEST_F(Transport, IndicationsFromManyThreadsKeepTheLastState) {
    RawLink link;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                RCOConnectInd(t % 2 ? "odd" : "even");
                RCODataRecvInd();
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_TRUE(link.IsConnected());
    std::string par = link.GetConnectionPar();
    EXPECT_TRUE(par == "odd" || par == "even") << par;
}

}  // namespace
