// Calls that the exchange's SMS centres answer, driven through the exchange
// with scripted time.
#include <gtest/gtest.h>

#include <deque>

#include "exchange.h"

namespace capisim {
namespace {

using namespace std::chrono_literals;

const std::chrono::system_clock::time_point kCentreWallTime =
    std::chrono::system_clock::from_time_t(1796651100);

struct CentreRecorder : ExchangeOutput {
    std::deque<Message> inbox;
    std::vector<CallRecord> calls;
    std::vector<SmsRecord> messages;
    // Messages to the caller and accepted messages, in the order they came.
    std::vector<std::string> events;

    void Send(AppId, const Message& m) override {
        inbox.push_back(m);
        events.push_back(CommandName(m.command, m.subcommand));
    }
    void CallEnded(const CallRecord& r) override { calls.push_back(r); }
    void MessageAccepted(const SmsRecord& r) override {
        messages.push_back(r);
        events.push_back("message");
    }
};

constexpr AppId kCaller = 1;

std::vector<SpecialNumber> Centres() {
    std::vector<SpecialNumber> centres;
    std::pair<const char*, const char*> entries[] = {
        {"5558001", "sms-tap"},
        {"5558002", "sms-emi"},
        {"5558003", "sms-tap hang-up"},
        {"5558004", "sms-tap no-prompt@2"},
    };
    for (auto [number, value] : entries) {
        std::string error;
        auto config = ParseSmsCentre(value, error);
        EXPECT_TRUE(config) << error;
        SpecialNumber centre;
        centre.number = number;
        centre.kind = SpecialKind::kSmsCentre;
        centre.centre = config.value_or(SmsCentreConfig{});
        centres.push_back(centre);
    }
    return centres;
}

std::string BlockText(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

class ExchangeCentreTest : public ::testing::Test {
protected:
    ExchangeCentreTest() : exchange_(Plan(), Settings(), out_) {}

    static NumberPlan Plan() { return NumberPlan({{"A", 0, {"02211111"}, "0"}}, Centres()); }
    static ExchangeSettings Settings() {
        ExchangeSettings s;
        s.delay = 10ms;
        s.centreIdleTime = 2s;
        s.wallClock = [] { return kCentreWallTime; };
        return s;
    }

    void Register(uint16_t blocks = 7, uint16_t length = 2048) {
        exchange_.Register(kCaller, 0, {2, blocks, length});
    }

    void Put(const Message& m) {
        exchange_.Handle(kCaller, m, now_);
        exchange_.Advance(now_);
    }

    // Advances only at the deadlines the exchange names, as the server's
    // poll loop does when no input comes.
    void Elapse(Clock::duration d) {
        TimePoint end = now_ + d;
        while (auto next = exchange_.NextDeadline()) {
            if (*next > end) break;
            now_ = std::max(now_, *next);
            exchange_.Advance(now_);
        }
        now_ = end;
    }

    Message Take(uint8_t command, uint8_t subcommand) {
        EXPECT_FALSE(out_.inbox.empty()) << "expected " << CommandName(command, subcommand);
        if (out_.inbox.empty()) return {};
        Message m = out_.inbox.front();
        out_.inbox.pop_front();
        EXPECT_EQ(CommandName(m.command, m.subcommand), CommandName(command, subcommand));
        return m;
    }

    // Dials, takes the answer and brings up B3; returns the NCCI.
    uint32_t Dial(const std::string& dialled, const std::string& connected) {
        Put(Make(kConnect, kReq, 1,
                 {1u, 2u, CalledNumberStruct(dialled), CallingNumberStruct("02211111"), Bytes{},
                  Bytes{}, Bytes{}, Bytes{}, Bytes{}, Bytes{}, Bytes{}}));
        uint32_t plci = Take(kConnect, kConf).Address();
        Message active = Take(kConnectActive, kInd);
        EXPECT_EQ(active.Address(), plci);
        EXPECT_EQ(CallingDigits(active.Struct(1)), connected);
        Put(Make(kConnectActive, kResp, active.number, {plci}));
        Put(Make(kConnectB3, kReq, 2, {plci, Bytes{}}));
        uint32_t ncci = Take(kConnectB3, kConf).Address();
        Take(kConnectB3Active, kInd);
        return ncci;
    }

    void SendData(uint32_t ncci, const std::string& text) {
        Message m = Make(kDataB3, kReq, ++handle_, {ncci, 0u, uint64_t(text.size()), handle_, 0u});
        m.data.assign(text.begin(), text.end());
        Put(m);
    }

    // The blocks that have reached the caller, each answered unless told
    // otherwise; the confirmations of its own blocks are dropped.
    std::vector<std::string> Blocks(bool answer = true) {
        std::vector<std::string> blocks;
        std::deque<Message> rest;
        for (Message& m : out_.inbox) {
            if (m.command == kDataB3 && m.subcommand == kConf) {
                EXPECT_EQ(m.Value(2), 0u) << "DATA_B3_CONF Info";
                continue;
            }
            if (m.command != kDataB3 || m.subcommand != kInd) {
                rest.push_back(m);
                continue;
            }
            blocks.push_back(BlockText(m.data));
            if (answer) {
                exchange_.Handle(kCaller, Make(kDataB3, kResp, m.number, {m.Address(), m.Value(3)}),
                                 now_);
            }
        }
        out_.inbox = rest;
        exchange_.Advance(now_);
        return blocks;
    }

    void ExpectClearedByTheCentre() {
        Message b3 = Take(kDisconnectB3, kInd);
        EXPECT_EQ(b3.Value(1), 0u);
        Message d = Take(kDisconnect, kInd);
        EXPECT_EQ(d.Value(1), 0x3490u);
        Put(Make(kDisconnect, kResp, d.number, {d.Address()}));
    }

    CentreRecorder out_;
    TimePoint now_{};
    Exchange exchange_;
    uint16_t handle_ = 0;
};

using BlockList = std::vector<std::string>;

TEST_F(ExchangeCentreTest, TapCentreAnswersThroughTheBChannelWithItsTiming) {
    Register();
    uint32_t ncci = Dial("0010135558001", "5558001");
    SendData(ncci, "\r");
    // 1 byte out and 3 back at 64 kbit/s, 10 ms each way.
    Elapse(20ms);
    EXPECT_EQ(Blocks(), BlockList{});
    Elapse(1ms);
    EXPECT_EQ(Blocks(), BlockList{"ID="});

    SendData(ncci, "\x1bPG1\r");
    Elapse(100ms);
    EXPECT_EQ(Blocks(), (BlockList{"\r\x06\r", "\x1b[p\r"}));

    // The block comes in two pieces, as a carrier cuts it.
    std::string block =
        "\x02"
        "0170000000\rabc\r\x03"
        "32=\r";
    SendData(ncci, block.substr(0, 7));
    SendData(ncci, block.substr(7));
    Elapse(100ms);
    EXPECT_EQ(Blocks(), BlockList{"211 Message accepted\r\x06\r"});
    ASSERT_EQ(out_.messages.size(), 1u);
    const SmsRecord& m = out_.messages[0];
    EXPECT_EQ(m.centre, "5558001");
    EXPECT_EQ(m.protocol, "tap");
    EXPECT_EQ(m.callingNumber, "02211111");
    EXPECT_EQ(m.originator, "");
    EXPECT_EQ(m.recipient, "0170000000");
    EXPECT_EQ(m.text, "abc");
    EXPECT_EQ(m.time, kCentreWallTime);
    auto logged = std::find(out_.events.begin(), out_.events.end(), "message");
    EXPECT_EQ(std::count(logged, out_.events.end(), "DATA_B3_IND"), 1)
        << "the message is logged before its answer is sent";

    SendData(ncci, "\x04\r");
    Elapse(1500ms);
    EXPECT_EQ(Blocks(), BlockList{"\x1b\x04\r"});
    EXPECT_TRUE(out_.inbox.empty()) << "after the logout the centre waits for the caller";

    Put(Make(kDisconnect, kReq, 9, {ncci & 0xFFFF}));
    Take(kDisconnect, kConf);
    Take(kDisconnectB3, kInd);
    EXPECT_EQ(Take(kDisconnect, kInd).Value(1), 0u);
    ASSERT_EQ(out_.calls.size(), 1u);
    const CallRecord& r = out_.calls[0];
    EXPECT_EQ(r.outcome, "answered");
    EXPECT_EQ(r.calledLine, "");
    EXPECT_EQ(r.calledNumber, "5558001");
    EXPECT_EQ(r.carrierPrefix, "01013");
    EXPECT_EQ(r.clearedBy, "caller");
    EXPECT_EQ(r.bytesToCalled, 1u + 5 + block.size() + 2);
    EXPECT_EQ(r.bytesToCaller, 3u + 3 + 4 + 23 + 3);
}

TEST_F(ExchangeCentreTest, RepliesAreCutToTheCallersBlockSizeAndWaitForItsWindow) {
    Register(1, 8);
    uint32_t ncci = Dial("5558002", "5558002");
    std::string frame =
        "\x02"
        "01/00067/O/51/0170000000/0/////////////////3//616263/////////////61\x03";
    for (size_t at = 0; at < frame.size(); at += 8) SendData(ncci, frame.substr(at, 8));
    Elapse(200ms);
    BlockList first = Blocks(false);
    ASSERT_EQ(first.size(), 1u) << "one block at a time for a window of one";
    std::string reply = first[0];
    Elapse(200ms);
    EXPECT_EQ(Blocks(false), BlockList{}) << "held while the caller owes DATA_B3_RESP";
    Put(Make(kDataB3, kResp, 0, {ncci, 1u}));
    for (int i = 0; i < 10; ++i) {
        Elapse(50ms);
        for (const std::string& b : Blocks()) {
            EXPECT_LE(b.size(), 8u);
            reply += b;
        }
    }
    EXPECT_EQ(reply,
              "\x02"
              "01/00043/R/51/A//0170000000:071226134500/1B\x03");
    ASSERT_EQ(out_.messages.size(), 1u);
    EXPECT_EQ(out_.messages[0].protocol, "emi");
    EXPECT_EQ(out_.messages[0].originator, "0");
}

TEST_F(ExchangeCentreTest, CentreClearsOnHangUpFaultIdlenessAndACallerThatTakesNoReplies) {
    struct Case {
        const char* name;
        const char* number;
        std::string input;
        Clock::duration wait;
    } cases[] = {
        {"hang-up fault", "5558003", "\r\x1bPG1\r\x02", 100ms},
        {"idle", "5558001", "\r", 2100ms},
        // The replies that reached the caller hold up the clearing for the
        // grace the exchange gives a drain.
        {"replies not taken", "5558001", std::string(2048, '\r'), 2100ms},
    };
    Register(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        out_.calls.clear();
        uint32_t ncci = Dial(c.number, c.number);
        SendData(ncci, c.input);
        Elapse(c.wait);
        Blocks(false);
        ExpectClearedByTheCentre();
        EXPECT_TRUE(out_.inbox.empty());
        ASSERT_EQ(out_.calls.size(), 1u);
        EXPECT_EQ(out_.calls[0].outcome, "answered");
        EXPECT_EQ(out_.calls[0].clearedBy, "called");
        EXPECT_EQ(out_.calls[0].reason, 0x3490);
    }
}

TEST_F(ExchangeCentreTest, IdleTimeRunsFromTheLastInputAndAlsoWithoutB3) {
    Register();
    uint32_t ncci = Dial("5558001", "5558001");
    Elapse(1900ms);
    SendData(ncci, "\r");
    Elapse(1900ms);
    EXPECT_EQ(Blocks(), BlockList{"ID="});
    EXPECT_TRUE(out_.inbox.empty()) << "input 1.9 s ago";
    Elapse(200ms);
    ExpectClearedByTheCentre();

    Put(Make(kConnect, kReq, 1,
             {1u, 2u, CalledNumberStruct("5558002"), Bytes{}, Bytes{}, Bytes{}, Bytes{}, Bytes{},
              Bytes{}, Bytes{}, Bytes{}}));
    Take(kConnect, kConf);
    Take(kConnectActive, kInd);
    Elapse(1900ms);
    EXPECT_TRUE(out_.inbox.empty());
    Elapse(200ms);
    Message d = Take(kDisconnect, kInd);
    EXPECT_EQ(d.Value(1), 0x3490u);
    EXPECT_FALSE(exchange_.NextDeadline()) << "nothing left to wait for";
}

// Calls and blocks are counted per centre since the start; a new data
// connection starts the protocol afresh.
TEST_F(ExchangeCentreTest, CallFaultsCountTheCallsOfTheirCentreOnly) {
    Register();
    struct Case {
        const char* number;
        BlockList prompt;
    } cases[] = {
        {"5558004", {"ID="}},
        {"5558001", {"ID="}},
        {"5558004", {}},
        {"5558004", {"ID="}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        uint32_t ncci = Dial(c.number, c.number);
        SendData(ncci, "\r");
        Elapse(100ms);
        EXPECT_EQ(Blocks(), c.prompt);
        Put(Make(kDisconnectB3, kReq, 3, {ncci}));
        Take(kDisconnectB3, kConf);
        Elapse(100ms);
        Take(kDisconnectB3, kInd);
        Put(Make(kDisconnectB3, kResp, 0, {ncci}));
        Put(Make(kConnectB3, kReq, 4, {ncci & 0xFFFF}));
        Take(kConnectB3, kConf);
        Take(kConnectB3Active, kInd);
        SendData(ncci, "\r");
        Elapse(100ms);
        EXPECT_EQ(Blocks(), c.prompt) << "the second data connection of the same call";
        Put(Make(kDisconnect, kReq, 9, {ncci & 0xFFFF}));
        Take(kDisconnect, kConf);
        Take(kDisconnectB3, kInd);
        Message d = Take(kDisconnect, kInd);
        Put(Make(kDisconnect, kResp, d.number, {d.Address()}));
    }
}

}  // namespace
}  // namespace capisim
