// Calls that the exchange's SMS centres answer, driven through the exchange
// with scripted time.
#include <gtest/gtest.h>

#include <deque>

#include "exchange.h"

namespace capisim {
namespace {

using namespace std::chrono_literals;

const auto kCentreWallTime = std::chrono::system_clock::from_time_t(1796651100);
constexpr AppId kCaller = 1;

struct CentreRecorder : ExchangeOutput {
    std::deque<Message> inbox;
    std::vector<CallRecord> calls;
    std::vector<SmsRecord> messages;
    std::vector<std::string> events;  // messages to the caller and accepted messages, in order

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

NumberPlan CentrePlan() {
    std::vector<SpecialNumber> centres;
    for (auto [number, value] : {std::pair{"5558001", "sms-tap"},
                                 {"5558002", "sms-emi"},
                                 {"5558003", "sms-tap hang-up"},
                                 {"5558004", "sms-tap no-prompt@2"}}) {
        std::string error;
        SpecialNumber centre{number, SpecialKind::kSmsCentre, 0, {}};
        centre.centre = ParseSmsCentre(value, error).value_or(SmsCentreConfig{});
        EXPECT_EQ(error, "");
        centres.push_back(centre);
    }
    return NumberPlan({{"A", 0, {"02211111"}, "0"}}, centres);
}

using BlockList = std::vector<std::string>;

class ExchangeCentreTest : public ::testing::Test {
protected:
    ExchangeCentreTest() : exchange_(CentrePlan(), Settings(), out_) {}

    static ExchangeSettings Settings() {
        ExchangeSettings s;
        s.delay = 10ms;
        s.centreIdleTime = 2s;
        s.wallClock = [] { return kCentreWallTime; };
        return s;
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

    // Dials and takes the answer; brings up B3 unless told not to and
    // returns the NCCI (the PLCI without B3).
    uint32_t Dial(const std::string& dialled, bool b3 = true) {
        Put(Make(kConnect, kReq, 1,
                 {1u, 2u, CalledNumberStruct(dialled), Bytes{}, Bytes{}, Bytes{}, Bytes{}, Bytes{},
                  Bytes{}, Bytes{}, Bytes{}}));
        uint32_t plci = Take(kConnect, kConf).Address();
        Message active = Take(kConnectActive, kInd);
        EXPECT_EQ(active.Address(), plci);
        EXPECT_EQ(CallingDigits(active.Struct(1)), dialled.substr(dialled.size() - 7));
        if (!b3) return plci;
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

    // The blocks that have reached the caller, answered unless told
    // otherwise; the confirmations of its own blocks are passed over.
    BlockList Blocks(bool answer = true) {
        BlockList blocks;
        std::deque<Message> rest;
        for (Message& m : out_.inbox) {
            if (m.command != kDataB3 || m.subcommand == kConf) {
                if (m.command != kDataB3) rest.push_back(m);
                continue;
            }
            blocks.emplace_back(m.data.begin(), m.data.end());
            if (!answer) continue;
            exchange_.Handle(kCaller, Make(kDataB3, kResp, m.number, {m.Address(), m.Value(3)}),
                             now_);
        }
        out_.inbox = rest;
        exchange_.Advance(now_);
        return blocks;
    }

    void ExpectClearedByTheCentre(bool b3 = true) {
        if (b3) {
            EXPECT_EQ(Take(kDisconnectB3, kInd).Value(1), 0u);
        }
        Message d = Take(kDisconnect, kInd);
        EXPECT_EQ(d.Value(1), 0x3490u);
        Put(Make(kDisconnect, kResp, d.number, {d.Address()}));
        ASSERT_FALSE(out_.calls.empty());
        EXPECT_EQ(out_.calls.back().outcome, "answered");
        EXPECT_EQ(out_.calls.back().clearedBy, "called");
    }

    CentreRecorder out_;
    TimePoint now_{};
    Exchange exchange_;
    uint16_t handle_ = 0;
};

TEST_F(ExchangeCentreTest, TapCentreAnswersThroughTheBChannelWithItsTiming) {
    exchange_.Register(kCaller, 0, {2, 7, 2048});
    uint32_t ncci = Dial("0010135558001");
    SendData(ncci, "\r");
    Elapse(20ms);  // 1 byte out and 3 back at 64 kbit/s, 10 ms each way
    EXPECT_EQ(Blocks(), BlockList{});
    Elapse(1ms);
    EXPECT_EQ(Blocks(), BlockList{"ID="});
    SendData(ncci, "\x1bPG1\r");
    Elapse(100ms);
    EXPECT_EQ(Blocks(), (BlockList{"\r\x06\r", "\x1b[p\r"}));
    std::string block = "\0020170000000\rabc\r\00332=\r";
    SendData(ncci, block.substr(0, 7));
    SendData(ncci, block.substr(7));
    Elapse(100ms);
    EXPECT_EQ(Blocks(), BlockList{"211 Message accepted\r\x06\r"});
    ASSERT_EQ(out_.messages.size(), 1u);
    const SmsRecord& m = out_.messages[0];
    EXPECT_EQ(m.centre + m.protocol + m.callingNumber, "5558001tap02211111");
    EXPECT_EQ(m.originator + "|" + m.recipient + "|" + m.text, "|0170000000|abc");
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
    EXPECT_EQ(r.outcome + "|" + r.calledLine + "|" + r.calledNumber, "answered||5558001");
    EXPECT_EQ(r.carrierPrefix, "01013");
    EXPECT_EQ(r.clearedBy, "caller");
    EXPECT_EQ(r.bytesToCalled, 1u + 5 + block.size() + 2);
    EXPECT_EQ(r.bytesToCaller, 3u + 3 + 4 + 23 + 3);
}

TEST_F(ExchangeCentreTest, RepliesAreCutToTheCallersBlockSizeAndWaitForItsWindow) {
    exchange_.Register(kCaller, 0, {2, 1, 8});
    uint32_t ncci = Dial("5558002");
    std::string frame =
        "\00201/00067/O/51/0170000000/0/////////////////3//616263/////////////61\003";
    for (size_t at = 0; at < frame.size(); at += 8) SendData(ncci, frame.substr(at, 8));
    Elapse(200ms);
    BlockList first = Blocks(false);
    ASSERT_EQ(first.size(), 1u) << "one block at a time for a window of one";
    Elapse(200ms);
    EXPECT_EQ(Blocks(false), BlockList{}) << "held while the caller owes DATA_B3_RESP";
    Put(Make(kDataB3, kResp, 0, {ncci, 1u}));
    std::string reply = first[0];
    for (int i = 0; i < 10; ++i) {
        Elapse(50ms);
        for (const std::string& b : Blocks()) {
            EXPECT_LE(b.size(), 8u);
            reply += b;
        }
    }
    EXPECT_EQ(reply, "\00201/00043/R/51/A//0170000000:071226134500/1B\003");
    ASSERT_EQ(out_.messages.size(), 1u);
    EXPECT_EQ(out_.messages[0].protocol + out_.messages[0].originator, "emi0");
}

TEST_F(ExchangeCentreTest, CentreClearsOnHangUpFaultIdlenessAndACallerThatTakesNoReplies) {
    exchange_.Register(kCaller, 0, {2, 1, 2048});
    struct Case {
        const char* name;
        const char* number;
        std::string input;
        Clock::duration before;  // after the dialling
        Clock::duration quiet;   // after the input, nothing happens for so long
        Clock::duration until;   // and by then the centre has cleared
    } cases[] = {
        {"hang-up fault", "5558003", "\r\x1bPG1\r\x02", 0ms, 0ms, 100ms},
        {"idle since the last input", "5558001", "\r", 1900ms, 1900ms, 200ms},
        {"replies not taken", "5558001", std::string(2048, '\r'), 0ms, 0ms, 500ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t ncci = Dial(c.number);
        Elapse(c.before);
        SendData(ncci, c.input);
        Elapse(c.quiet);
        Blocks(false);
        EXPECT_TRUE(out_.inbox.empty());
        Elapse(c.until);
        Blocks(false);
        ExpectClearedByTheCentre();
        EXPECT_TRUE(out_.inbox.empty());
    }
    Dial("5558002", false);
    Elapse(1900ms);
    EXPECT_TRUE(out_.inbox.empty());
    Elapse(200ms);
    ExpectClearedByTheCentre(false);
    EXPECT_FALSE(exchange_.NextDeadline()) << "nothing left to wait for";
}

TEST_F(ExchangeCentreTest, CallFaultsCountTheCallsOfTheirCentreOnly) {
    exchange_.Register(kCaller, 0, {2, 7, 2048});
    std::pair<const char*, BlockList> cases[] = {
        {"5558004", {"ID="}}, {"5558001", {"ID="}}, {"5558004", {}}, {"5558004", {"ID="}}};
    for (const auto& [number, prompt] : cases) {
        uint32_t ncci = Dial(number);
        SendData(ncci, "\r");
        Elapse(100ms);
        EXPECT_EQ(Blocks(), prompt) << number;
        Put(Make(kDisconnect, kReq, 9, {ncci & 0xFFFF}));
        out_.inbox.clear();
    }
}

}  // namespace
}  // namespace capisim
