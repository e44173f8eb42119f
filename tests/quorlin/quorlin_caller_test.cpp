// quorlin against callers that do not play along: one that holds the line
// while another calls, one that never opens the data connection, one that
// says nothing, and a storm of calls that hang up while they ring.
#include <gtest/gtest.h>
#include <signal.h>

#include "capi_station.h"
#include "capisim_process.h"
#include "quorlin_test_support.h"

namespace {

using namespace capitest;

constexpr const char* kQuorlinNumber = "5551001";

class QuorlinCaller : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(capisim_.Start({"--line", std::string("Q:0:") + kQuorlinNumber, "--line",
                                    "C:0:5552001,5552002", "--call-log", CallLog()}))
            << capisim_.Error();
        station_ =
            std::make_unique<QuorlinStation>(dir_.Path(), "quorlin", capisim_.Port("Q"), true);
        ASSERT_TRUE(station_->Start({"--no-monitor"})) << station_->Errors();
    }
    void TearDown() override {
        station_->Process().Signal(SIGTERM);
        EXPECT_EQ(station_->Process().Wait(10s), 0) << station_->Errors();
    }

    std::string CallLog() const { return dir_.File("calls.jsonl"); }

    std::unique_ptr<ChildProcess> NoteClient(const std::string& name,
                                             const std::vector<std::string>& commandLines) {
        std::vector<std::string> args{kQuorlinNumber};
        args.insert(args.end(), commandLines.begin(), commandLines.end());
        auto env = CallerEnvironment(dir_.Path(), name, capisim_.Port("C"));
        return std::make_unique<ChildProcess>(NOTE_CLIENT_PATH, args, env, dir_.File(name),
                                              dir_.File(name + "/stderr.txt"));
    }
    // A note from a well-behaved caller; how long it took.
    std::chrono::milliseconds SendNote(const std::string& name) {
        auto start = std::chrono::steady_clock::now();
        auto client = NoteClient(name, {"rawNote 1|Info|x|0301234567|Hans|Gruss|Hallo"});
        EXPECT_EQ(client->Wait(60s), 0);
        EXPECT_EQ(client->Lines().back(), "disconnect 0");
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }
    std::unique_ptr<capitest::Station> RawCaller(const std::string& name) {
        auto raw = std::make_unique<capitest::Station>(
            MakeCapiHome(dir_.Path(), name, capisim_.Port("C")));
        EXPECT_EQ(raw->RegisterResult(), 0u);
        return raw;
    }

    TempDir dir_;
    CapisimProcess capisim_;
    std::unique_ptr<QuorlinStation> station_;
};

TEST_F(QuorlinCaller, ASecondCallerHearsBusyAtOnce) {
    auto holder = NoteClient("holder", {"hold 20"});
    ASSERT_TRUE(holder->WaitForLine("holding", 30s));
    auto second = NoteClient("second", {});
    EXPECT_EQ(second->Wait(5s), 1) << "refused, not left ringing";
    auto log = WaitForCallLog(CallLog(), 1, 5s);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["reason"], "0x3491");
    holder->Signal(SIGKILL);
}

TEST_F(QuorlinCaller, ACallerThatNeverOpensTheDataConnectionIsClearedAfterTenSeconds) {
    auto raw = RawCaller("raw");
    ASSERT_EQ(raw->Put(ConnectReq(kQuorlinNumber, "5552001", 2)), 0u);
    auto conf = raw->WaitFor(CONNECT, CONF);
    ASSERT_TRUE(conf);
    auto active = raw->WaitFor(CONNECT_ACTIVE, IND);
    ASSERT_TRUE(active) << "quorlin answers";
    raw->Put(ConnectActiveResp(active->Address(), active->Number()));
    auto start = std::chrono::steady_clock::now();
    auto cleared = raw->WaitFor(DISCONNECT, IND, 15s);
    ASSERT_TRUE(cleared);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 9s);
    EXPECT_LT(took, 12s);
    raw->Put(DisconnectResp(cleared->Address(), cleared->Number()));
    EXPECT_LT(SendNote("after"), 5s) << "the line is free again";
}

TEST_F(QuorlinCaller, ASilentCallerIsHungUpOnWithATruthfulLine) {
    auto silent = NoteClient("silent", {"hold 20"});
    ASSERT_TRUE(silent->WaitForLine("holding", 30s));
    auto line = station_->Process().WaitForLine("nichts gesendet", 15s);
    ASSERT_TRUE(line) << station_->Errors();
    EXPECT_NE(line->find("Der Anrufer hat 10 s lang nichts gesendet; Verbindung wird getrennt"),
              std::string::npos);
    EXPECT_TRUE(station_->Process().WaitForLine("Datenverbindung beendet", 5s));
    for (const std::string& l : station_->Process().Lines()) {
        EXPECT_EQ(l.find("Länge Null"), std::string::npos) << l;
    }
    silent->Signal(SIGKILL);
    EXPECT_LT(SendNote("after"), 5s);
}

TEST_F(QuorlinCaller, CallsThatHangUpWhileRingingLeaveTheLineFree) {
    auto raw = RawCaller("storm");
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(raw->Put(ConnectReq(kQuorlinNumber, "5552002", 2)), 0u);
        auto conf = raw->WaitFor(CONNECT, CONF);
        ASSERT_TRUE(conf);
        raw->Put(DisconnectReq(conf->Address()));
        auto gone = raw->WaitFor(DISCONNECT, IND);
        ASSERT_TRUE(gone) << "call " << i;
        raw->Put(DisconnectResp(gone->Address(), gone->Number()));
    }
    EXPECT_LT(SendNote("after"), 3s);
}

}  // namespace
