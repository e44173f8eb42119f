// Two stations call each other over capisim and move blocks both ways.
#include <gtest/gtest.h>

#include <sstream>

#include "link_test_support.h"
#include "test_dir.h"
#include "two_stations.h"

namespace {

constexpr std::uint8_t kConnect = 0x02, kDisconnect = 0x04, kListen = 0x05;
constexpr std::uint8_t kDisconnectB3 = 0x84, kDataB3 = 0x86;
constexpr std::uint8_t kReq = 0x80, kConf = 0x81, kInd = 0x82, kResp = 0x83;

// Every response an application sent carries the number of the indication
// it answers: the k-th response of a command answers its k-th indication.
void ExpectResponsesMatchIndications(const std::vector<WireMessage>& wire) {
    std::map<std::uint8_t, std::vector<std::uint16_t>> indications, responses;
    for (const auto& m : wire) {
        if (!m.fromApplication && m.Subcommand() == kInd) {
            indications[m.Command()].push_back(m.Number());
        }
        if (m.fromApplication && m.Subcommand() == kResp) {
            responses[m.Command()].push_back(m.Number());
        }
    }
    ASSERT_FALSE(responses.empty());
    for (const auto& [command, numbers] : responses) {
        const auto& ind = indications[command];
        ASSERT_LE(numbers.size(), ind.size()) << "command " << int(command);
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            EXPECT_EQ(numbers[k], ind[k]) << "command " << int(command) << " response " << k;
        }
    }
}

class LinkCall : public TwoStations {
protected:
    // Sends size bytes from one station to the other and checks they arrive intact.
    void Transfer(Station& from, Station& to, std::size_t size, int seed) {
        std::string sent = from.Run("send " + std::to_string(size) + " " + std::to_string(seed));
        ASSERT_EQ(Field(sent, 1), "0") << sent;
        std::string got = to.Run("recv " + std::to_string(size) + " 50");
        EXPECT_EQ(Field(got, 1), "0") << got;
        EXPECT_EQ(Field(got, 2), std::to_string(size)) << got;
        EXPECT_EQ(Field(got, 3), Field(sent, 2)) << "checksum";
    }

    void ExitBoth() {
        for (Station* s : {a.get(), b.get()}) {
            std::string exit = s->Run("exit", 20s);
            EXPECT_EQ(Field(exit, 1), "1") << exit;
            EXPECT_LT(std::stol(Field(exit, 2).empty() ? "99999" : Field(exit, 2)), 10000);
            EXPECT_EQ(s->Quit(), 0);
        }
    }
};

TEST_F(LinkCall, CallCarriesBlocksBothWaysAndClearsOrderly) {
    Call();
    auto wire = wireA.Messages();
    auto connectReq = Only(wire, kConnect, kReq);
    ASSERT_EQ(connectReq.size(), 1u);
    const std::vector<std::uint8_t> expectedConnect = {
        1, 0,    0,    0,   2,   0,        // controller 1, CIP 2
        4, 0x80, '2',  '2', '2',           // called party
        5, 0x00, 0x80, '1', '1', '1',      // calling party
        0, 0,    0,    0,   0,   0,   0};  // subaddresses, B protocol, BC, LLC, HLC, info
    EXPECT_EQ(std::vector<std::uint8_t>(connectReq[0].body.begin() + 8, connectReq[0].body.end()),
              expectedConnect);
    auto listen = Only(wireB.Messages(), kListen, kReq);
    ASSERT_EQ(listen.size(), 1u);
    EXPECT_EQ(listen[0].Length(), 26);
    EXPECT_EQ(listen[0].Dword(8), 1u) << "controller";
    EXPECT_EQ(listen[0].Dword(12), 0x3Fu) << "info mask";
    EXPECT_EQ(listen[0].Dword(16), 0x00000004u) << "CIP mask";

    Transfer(*a, *b, 300, 1);
    auto reqs = wireA.WaitFor(kDataB3, kReq, 3, 5s);
    ASSERT_EQ(reqs.size(), 3u);
    const std::uint16_t sizes[] = {128, 128, 44};
    for (std::uint16_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reqs[i].Word(16), sizes[i]) << "block " << i;
        EXPECT_EQ(reqs[i].Word(18), i) << "data handle of block " << i;
    }
    Transfer(*b, *a, 200, 2);

    // Thirteen chunks at once: the window of twelve, the rest after the first confirmation.
    auto confsBefore = Only(wireA.Messages(), kDataB3, kConf).size();
    Transfer(*a, *b, 13 * 128, 3);
    wire = wireA.Messages();
    reqs = Only(wire, kDataB3, kReq);
    auto confs = Only(wire, kDataB3, kConf);
    ASSERT_EQ(reqs.size(), 16u);
    ASSERT_GT(confs.size(), confsBefore);
    const WireMessage& firstConf = confs[confsBefore];
    EXPECT_LT(reqs[14].sequence, firstConf.sequence) << "twelve blocks before any confirmation";
    EXPECT_GT(reqs[15].sequence, firstConf.sequence) << "the thirteenth waits for one";
    for (std::uint16_t i = 0; i < reqs.size(); ++i) EXPECT_EQ(reqs[i].Word(18), i);

    std::string disconnect = a->Run("disconnect 50");
    EXPECT_EQ(Field(disconnect, 1), "0") << disconnect;
    EXPECT_EQ(b->Run("waitdisc 50"), "waitdisc 0");
    EXPECT_EQ(b->Run("info"), "info 0x3490 Normaler Verbindungsabbau[#3490]");
    wire = wireA.Messages();
    auto b3Req = Only(wire, kDisconnectB3, kReq);
    auto discReq = Only(wire, kDisconnect, kReq);
    ASSERT_EQ(b3Req.size(), 1u);
    ASSERT_EQ(discReq.size(), 1u);
    EXPECT_LT(b3Req[0].sequence, discReq[0].sequence);
    EXPECT_EQ(discReq[0].Length(), 16);
    ExpectResponsesMatchIndications(wire);
    ExpectResponsesMatchIndications(wireB.Messages());

    ExitBoth();
    auto calls = exchange.CallLog(1, 5s);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]["calling_number"], "111");
    EXPECT_EQ(calls[0]["dialled"], "222");
    EXPECT_EQ(calls[0]["cip"], "2");
    EXPECT_EQ(calls[0]["bytes_to_called"], "1964");
    EXPECT_EQ(calls[0]["bytes_to_caller"], "200");

    for (Station* s : {a.get(), b.get()}) {
        std::string log = s->Log();
        for (const char* line :
             {":++DllMain\n", ":++CorvaneInit()\n", ":--CorvaneInit()\n", ":++ISDNDispatchThread\n",
              ":++CRComLink::CRComLink\n", ":++CROSetCallBackFn\n", ":++RCOConnectInd\n",
              ":++RCODisconnectInd\n", ":++CorvaneExit()\n",
              ":  CorvaneExit(): vor WaitForSingleObject\n",
              ":  CorvaneExit(): nach WaitForSingleObject\n", ":--ISDNDispatchThread\n",
              ":  CorvaneExit(): vor Delete\n", ":  CorvaneExit: vor delete pCorvane\n",
              ":  CorvaneExit: vor pCAPIAccess delete\n",
              ":  CorvaneExit: nach pCAPIAccess delete\n", ":--CorvaneExit()\n", ":--DllMain\n"}) {
            EXPECT_NE(log.find(line), std::string::npos) << s->Dir() << " lacks " << line;
        }
        EXPECT_EQ(log.find("TIMEOUT"), std::string::npos);
    }
    EXPECT_NE(b->Log().find(":++RCODataRecvInd\n"), std::string::npos);
    EXPECT_NE(a->Log().find(":++RCODataSentInd\n"), std::string::npos);
}

TEST_F(LinkCall, ImmediateClearingSendsOnlyDisconnect) {
    Call();
    // Without a wait the answer is "not yet cleared", unless the exchange
    // was quicker than this thread (a loaded machine): then it is cleared.
    std::string disconnect = a->Run("disconnect 0");
    std::string code = Field(disconnect, 1);
    EXPECT_TRUE(code == "3" || code == "0") << disconnect;
    EXPECT_LT(std::stoi(Field(disconnect, 2)), 2000) << "it must not wait for the clearing";
    EXPECT_EQ(a->Run("waitdisc 50"), "waitdisc 0");
    EXPECT_EQ(b->Run("waitdisc 50"), "waitdisc 0");
    auto wire = wireA.Messages();
    EXPECT_EQ(Only(wire, kDisconnectB3, kReq).size(), 0u);
    EXPECT_EQ(Only(wire, kDisconnect, kReq).size(), 1u);
    EXPECT_EQ(b->Run("info"), "info 0x3490 Normaler Verbindungsabbau[#3490]");
    ExitBoth();
}

TEST_F(LinkCall, CalledSideClearsFirst) {
    Call();
    Transfer(*b, *a, 100, 4);
    EXPECT_EQ(Field(b->Run("disconnect 50"), 1), "0");
    EXPECT_EQ(a->Run("waitdisc 50"), "waitdisc 0");
    EXPECT_EQ(a->Run("info"), "info 0x3490 Normaler Verbindungsabbau[#3490]");
    EXPECT_EQ(Field(a->Run("disconnect 50"), 1), "1") << "nothing left to clear";
    // a's last response may still be on its way through the relay.
    wireA.WaitFor(kDisconnect, kResp, 1, 5s);
    auto wire = wireA.Messages();
    EXPECT_EQ(Only(wire, kDisconnect, kReq).size(), 0u);
    EXPECT_EQ(Only(wire, kDisconnectB3, kReq).size(), 0u);
    EXPECT_EQ(Only(wire, kDisconnectB3, kResp).size(), 1u);
    EXPECT_EQ(Only(wire, kDisconnect, kResp).size(), 1u);
    ExpectResponsesMatchIndications(wire);
    // The line is free again for the next call.
    Call();
    Transfer(*a, *b, 129, 5);
    ExitBoth();
}

TEST_F(LinkCall, ExitWhileTheCallIsUpEndsCleanly) {
    Call();
    std::string exit = a->Run("exit", 20s);
    EXPECT_EQ(Field(exit, 1), "1");
    EXPECT_LT(std::stol(Field(exit, 2)), 10000);
    EXPECT_EQ(a->Quit(), 0);
    EXPECT_EQ(b->Run("waitdisc 50"), "waitdisc 0");
    std::string exitB = b->Run("exit", 20s);
    EXPECT_LT(std::stol(Field(exitB, 2)), 10000);
    EXPECT_EQ(b->Quit(), 0);
    EXPECT_EQ(exchange.CallLog(1, 5s).size(), 1u);
}

TEST_F(LinkCall, SixtyFourKilobytesEachWayAtOnce) {
    Call();
    constexpr int kSize = 64 * 1024;
    std::string sentA = a->Run("send " + std::to_string(kSize) + " 7 128");
    std::string sentB = b->Run("send " + std::to_string(kSize) + " 8 128");
    ASSERT_EQ(Field(sentA, 1), "0");
    ASSERT_EQ(Field(sentB, 1), "0");
    a->Post("recv " + std::to_string(kSize) + " 100");
    b->Post("recv " + std::to_string(kSize) + " 100");
    std::string gotA = a->Answer(300s);
    std::string gotB = b->Answer(300s);
    EXPECT_EQ(Field(gotA, 2), std::to_string(kSize)) << gotA;
    EXPECT_EQ(Field(gotB, 2), std::to_string(kSize)) << gotB;
    EXPECT_EQ(Field(gotA, 3), Field(sentB, 2));
    EXPECT_EQ(Field(gotB, 3), Field(sentA, 2));
    ExitBoth();
}

}  // namespace
