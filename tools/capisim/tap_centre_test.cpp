#include "tap_centre.h"

#include <gtest/gtest.h>

namespace capisim {
namespace {

using std::chrono::system_clock;

const system_clock::time_point kTapTime = system_clock::from_time_t(1796650000);

const std::string kTapLogon = "\r\x1bPG1\r";
const std::string kTapLogout = "\x04\r";
const std::string kTapPrompt = "ID=";
const std::string kTapAck = "\r\x06\r";
const std::string kTapLogonAgain = "\r\x15\r";
const std::string kTapGoAhead = "\x1b[p\r";
const std::string kTapBye = "\x1b\x04\r";
const std::string kTapAccepted = "211 Message accepted\r\x06\r";
const std::string kTapRejected = "510 Message rejected\r\x15\r";
const std::string kTapChecksumError = "511 Checksum error\r\x15\r";
const std::string kTapBlockError = "512 Block error\r\x15\r";
const std::string kTapAbandoned = "513 Transaction abandoned\r\x1e\r";

std::string Checksummed(const std::string& throughEtx) {
    return throughEtx +
           TapChecksum(reinterpret_cast<const uint8_t*>(throughEtx.data()), throughEtx.size()) +
           "\r";
}

std::string TapBlock(const std::string& recipient, const std::string& text) {
    return Checksummed("\x02" + recipient + "\r" + text + "\r\x03");
}

using Replies = std::vector<std::string>;

struct TapRun {
    std::vector<std::string> replies;
    std::vector<SmsMessage> accepted;
    bool hangUp = false;
};

// One centre, configured as a profile entry would, whose calls share the
// block count as the calls to one centre do.
class TapCentreUnderTest {
public:
    explicit TapCentreUnderTest(const std::string& value) {
        std::string error;
        auto config = ParseSmsCentre(value, error);
        EXPECT_TRUE(config) << error;
        if (config) config_ = *config;
    }

    // A fresh call, numbered as the next one.
    void NewCall() { session_ = std::make_unique<TapCentre>(config_, ++calls_, blocks_); }

    // Feeds input in pieces of at most chunk bytes.
    TapRun Send(const std::string& input, size_t chunk = SIZE_MAX) {
        if (!session_) NewCall();
        TapRun run;
        for (size_t at = 0; at < input.size(); at += chunk) {
            std::string piece = input.substr(at, chunk);
            SmsCentreOutput out;
            session_->Receive(Bytes(piece.begin(), piece.end()), kTapTime, out);
            for (const Bytes& r : out.replies) run.replies.emplace_back(r.begin(), r.end());
            for (SmsMessage& m : out.accepted) run.accepted.push_back(m);
            run.hangUp = run.hangUp || out.hangUp;
        }
        return run;
    }

private:
    SmsCentreConfig config_;
    uint64_t calls_ = 0;
    uint64_t blocks_ = 0;
    std::unique_ptr<TapCentre> session_;
};

TEST(TapCentre, ChecksumIsTheLowTwelveBitsOfTheSumAsCharactersFrom0x30) {
    struct Case {
        std::string bytes;
        const char* checksum;
    } cases[] = {
        {"\x02"
         "0170000000\rabc\r\x03",
         "32="},  // 813 = 0x32D
        {"\x0A", "00:"},
        {"\xBB", "0;;"},
        {std::string(10, '\xFF') + "\xC6", ":;<"},  // 0xABC
        {std::string(13, '\xFF') + "\xFC", "=>?"},  // 0xDEF
        {std::string(16, '\xFF') + "\x10", "000"},  // 0x1000: only bits 11-0 count
        {std::string(32, '\xFF') + "\x1F", "???"},  // 0x1FFF
    };
    for (const Case& c : cases) {
        auto data = reinterpret_cast<const uint8_t*>(c.bytes.data());
        EXPECT_EQ(TapChecksum(data, c.bytes.size()), c.checksum) << c.checksum;
    }
}

TEST(TapCentre, DialogueGivesEachReplyAsOneBlockWhateverTheInputCut) {
    std::string block = TapBlock("0170000000", "abc");
    EXPECT_EQ(block,
              "\x02"
              "0170000000\rabc\r\x03"
              "32=\r");
    std::string input = kTapLogon + block + kTapLogout;
    for (size_t chunk = 1; chunk <= input.size(); ++chunk) {
        SCOPED_TRACE(chunk);
        TapCentreUnderTest centre("sms-tap");
        TapRun run = centre.Send(input, chunk);
        EXPECT_EQ(run.replies, (Replies{kTapPrompt, kTapAck, kTapGoAhead, kTapAccepted, kTapBye}));
        ASSERT_EQ(run.accepted.size(), 1u);
        EXPECT_EQ(run.accepted[0].recipient, "0170000000");
        EXPECT_EQ(run.accepted[0].originator, "");
        EXPECT_EQ(run.accepted[0].text, "abc");
        EXPECT_EQ(run.accepted[0].time, kTapTime);
        EXPECT_FALSE(run.hangUp);
    }
}

TEST(TapCentre, LogonToleratesRepeatsGarbageAndAPasswordAndAsksAgainForAWrongOne) {
    struct Case {
        const char* name;
        std::string input;
        Replies replies;
    } cases[] = {
        {"CR repeated", "\r\r\x1bPG1\r", {kTapPrompt, kTapPrompt, kTapAck, kTapGoAhead}},
        {"garbage before the prompt",
         "+++ATZ\x02\x1bPG1\x04" + kTapLogon,
         {kTapPrompt, kTapAck, kTapGoAhead}},
        {"password", "\r\x1bPG1000000\r", {kTapPrompt, kTapAck, kTapGoAhead}},
        {"wrong service, then right",
         "\r\x1bPG3\r\x1bPG1\r",
         {kTapPrompt, kTapLogonAgain, kTapAck, kTapGoAhead}},
        {"password too long",
         "\r\x1bPG1" + std::string(40, 'x') + "\r",
         {kTapPrompt, kTapLogonAgain}},
        {"control character in the password", "\r\x1bPG1\x01\r", {kTapPrompt, kTapLogonAgain}},
        // A block is no logon request; every CR in it asks for the prompt again.
        {"block before the logon",
         "\r" + TapBlock("0170000000", "abc") + "\x1bPG1\r",
         {kTapPrompt, kTapPrompt, kTapPrompt, kTapPrompt, kTapAck, kTapGoAhead}},
    };
    for (const Case& c : cases) {
        TapCentreUnderTest centre("sms-tap");
        TapRun run = centre.Send(c.input);
        EXPECT_EQ(run.replies, c.replies) << c.name;
        EXPECT_TRUE(run.accepted.empty()) << c.name;
    }
}

TEST(TapCentre, BrokenBlocksAreAnsweredWithTheirErrorAndTheNextGoodOneIsTaken) {
    std::string good = TapBlock("0170000000", "abc");
    std::string wrongSum = good;
    wrongSum[wrongSum.size() - 2] = '>';
    std::string hexSum =
        "\x02"
        "0170000000\rabc\r\x03"
        "32D\r";
    struct Case {
        const char* name;
        std::string block;
        std::string reply;
    } cases[] = {
        {"checksum off by one", wrongSum, kTapChecksumError},
        {"checksum in hexadecimal letters", hexSum, kTapChecksumError},
        {"no CR after the recipient",
         Checksummed("\x02"
                     "0170000000\x03"),
         kTapBlockError},
        {"recipient not digits", TapBlock("0170-00000", "abc"), kTapBlockError},
        {"empty recipient", TapBlock("", "abc"), kTapBlockError},
        {"text with a CR", TapBlock("0170000000", "a\rb"), kTapBlockError},
        {"ETX missing",
         "\x02"
         "0170000000\rabc\r"
         "32=\r",
         kTapBlockError},
        {"CR after the checksum missing", good.substr(0, good.size() - 1) + "x", kTapBlockError},
        {"checksum cut short",
         "\x02"
         "0170000000\rabc\r\x03"
         "32\r",
         kTapBlockError},
    };
    for (const Case& c : cases) {
        TapCentreUnderTest centre("sms-tap");
        centre.Send(kTapLogon);
        TapRun run = centre.Send(c.block + TapBlock("0171111111", "next"));
        EXPECT_EQ(run.replies, (Replies{c.reply, kTapAccepted})) << c.name;
        ASSERT_EQ(run.accepted.size(), 1u) << c.name;
        EXPECT_EQ(run.accepted[0].recipient, "0171111111") << c.name;
    }
}

TEST(TapCentre, ChecksumCharactersAbove9AreTakenOnlyAsTheMapSaysAndTextMayBeEmpty) {
    // Recipient "1" and 26 times "d" and one "D" make 0xABC.
    std::string text = std::string(26, 'd') + "D";
    std::string block = TapBlock("1", text);
    EXPECT_EQ(block.substr(block.size() - 4), ":;<\r");
    TapCentreUnderTest centre("sms-tap");
    centre.Send(kTapLogon);
    TapRun run = centre.Send(block + TapBlock("2", ""));
    EXPECT_EQ(run.replies, (Replies{kTapAccepted, kTapAccepted}));
    ASSERT_EQ(run.accepted.size(), 2u);
    EXPECT_EQ(run.accepted[0].text, text);
    EXPECT_EQ(run.accepted[1].text, "");
}

TEST(TapCentre, EachFaultShowsOnTheCallOrBlockItNames) {
    std::string block = TapBlock("0170000000", "abc");
    struct Case {
        std::string value;
        std::string input;
        Replies replies;
        size_t accepted;
    } cases[] = {
        {"sms-tap nak", kTapLogon + block, {kTapPrompt, kTapAck, kTapGoAhead, kTapRejected}, 0},
        {"sms-tap rs", kTapLogon + block, {kTapPrompt, kTapAck, kTapGoAhead, kTapAbandoned}, 0},
        {"sms-tap nak@2",
         kTapLogon + block + block + block,
         {kTapPrompt, kTapAck, kTapGoAhead, kTapAccepted, kTapRejected, kTapAccepted},
         2},
        {"sms-tap no-prompt", "\r\r\r\x1bPG1\r" + block, {}, 0},
        {"sms-tap prompt-silence",
         kTapLogon + block + kTapLogout,
         {kTapPrompt, kTapAccepted, kTapBye},
         1},
        {"sms-tap no-go-ahead", kTapLogon + block, {kTapPrompt, kTapAck, kTapAccepted}, 1},
        {"sms-tap no-logout",
         kTapLogon + block + kTapLogout,
         {kTapPrompt, kTapAck, kTapGoAhead, kTapAccepted},
         1},
        {"sms-tap silence-after-block",
         kTapLogon + block + block + kTapLogout,
         {kTapPrompt, kTapAck, kTapGoAhead, kTapBye},
         0},
        {"sms-tap silence-after-block@1",
         kTapLogon + block + block,
         {kTapPrompt, kTapAck, kTapGoAhead, kTapAccepted},
         1},
        // The first fault listed that applies decides.
        {"sms-tap rs@2 nak",
         kTapLogon + block + block,
         {kTapPrompt, kTapAck, kTapGoAhead, kTapRejected, kTapAbandoned},
         0},
        // A block with a mistake of its own shows the mistake.
        {"sms-tap nak",
         kTapLogon + block.substr(0, block.size() - 2) + "0\r",
         {kTapPrompt, kTapAck, kTapGoAhead, kTapChecksumError},
         0},
        {"sms-tap silence-after-block",
         kTapLogon +
             "\x02"
             "01\r\r\r\x03"
             "000\r" +
             block,
         {kTapPrompt, kTapAck, kTapGoAhead},
         0},
        {"sms-tap no-logout@2 no-go-ahead@2",
         kTapLogon + kTapLogout,
         {kTapPrompt, kTapAck, kTapGoAhead, kTapBye},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        TapCentreUnderTest centre(c.value);
        TapRun run = centre.Send(c.input);
        EXPECT_EQ(run.replies, c.replies);
        EXPECT_EQ(run.accepted.size(), c.accepted);
        EXPECT_FALSE(run.hangUp);
    }
}

TEST(TapCentre, CallFaultsCountCallsAndBlockFaultsCountBlocksAcrossCalls) {
    std::string block = TapBlock("0170000000", "abc");
    TapCentreUnderTest centre("sms-tap no-prompt@2 no-logout@3 nak@3");
    struct Call {
        std::string input;
        Replies replies;
    } calls[] = {
        {kTapLogon + block + block + kTapLogout,
         {kTapPrompt, kTapAck, kTapGoAhead, kTapAccepted, kTapAccepted, kTapBye}},
        {kTapLogon + block, {}},
        {kTapLogon + block + kTapLogout, {kTapPrompt, kTapAck, kTapGoAhead, kTapRejected}},
    };
    for (const Call& call : calls) {
        centre.NewCall();
        EXPECT_EQ(centre.Send(call.input).replies, call.replies);
    }
}

TEST(TapCentre, HangUpClearsAtTheFirstByteOfItsBlock) {
    std::string block = TapBlock("0170000000", "abc");
    struct Case {
        const char* value;
        Replies replies;
    } cases[] = {
        {"sms-tap hang-up", {kTapPrompt, kTapAck, kTapGoAhead}},
        {"sms-tap hang-up@2", {kTapPrompt, kTapAck, kTapGoAhead, kTapAccepted}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        TapCentreUnderTest centre(c.value);
        TapRun before = centre.Send(kTapLogon + block + "\x02");
        EXPECT_EQ(before.replies, c.replies);
        EXPECT_TRUE(before.hangUp);
        TapRun after = centre.Send(block.substr(1) + block + kTapLogout);
        EXPECT_TRUE(after.replies.empty()) << "a centre that cleared takes nothing more";
        EXPECT_TRUE(after.accepted.empty());
    }
}

TEST(TapCentre, InputItCannotPlaceIsIgnoredUpToALimit) {
    std::string block = TapBlock("0170000000", "abc");
    struct Case {
        const char* name;
        std::string input;
        bool hangUp;
        Replies replies;
    } cases[] = {
        {"garbage before the prompt",
         std::string(4000, 'x') + kTapLogon,
         false,
         {kTapPrompt, kTapAck, kTapGoAhead}},
        {"endless garbage before the prompt", std::string(kSmsMaxUnanswered + 1, 'x'), true, {}},
        {"garbage between blocks",
         kTapLogon + std::string(4000, '\n') + block,
         false,
         {kTapPrompt, kTapAck, kTapGoAhead, kTapAccepted}},
        {"a block without end",
         kTapLogon + "\x02" + std::string(kSmsMaxUnanswered, '1'),
         true,
         {kTapPrompt, kTapAck, kTapGoAhead}},
        {"a logon without end",
         "\r\x1bPG1" + std::string(kSmsMaxUnanswered, 'p'),
         true,
         {kTapPrompt}},
    };
    for (const Case& c : cases) {
        TapCentreUnderTest centre("sms-tap");
        TapRun run = centre.Send(c.input, 1000);
        EXPECT_EQ(run.hangUp, c.hangUp) << c.name;
        EXPECT_EQ(run.replies, c.replies) << c.name;
    }
}

TEST(TapCentre, TextIsDecodedByTheCharacterMap) {
    EXPECT_EQ(TapTextToUtf8("\x24\x5B\x5C\x5E\x1E\x7B\x7C\x7E"), "§ÄÖÜßäöü");
    EXPECT_EQ(TapTextToUtf8("A]z\n\t\x7F"), "A]z\n\t\x7F");
    EXPECT_EQ(TapTextToUtf8("a\x80\xFF"), "a\uFFFD\uFFFD");
    TapCentreUnderTest centre("sms-tap");
    centre.Send(kTapLogon);
    TapRun run = centre.Send(TapBlock("0170000000",
                                      "Gr\x7e\x1e"
                                      "e\nK\x7c"
                                      "ln 5$"));
    ASSERT_EQ(run.accepted.size(), 1u);
    EXPECT_EQ(run.accepted[0].text, "Grüße\nKöln 5§");
}

}  // namespace
}  // namespace capisim
