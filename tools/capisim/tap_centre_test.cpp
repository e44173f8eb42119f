#include "tap_centre.h"

#include <gtest/gtest.h>

#include "sms_centre_test_support.h"

namespace capisim {
namespace {

const auto kTapTime = std::chrono::system_clock::from_time_t(1796650000);

const std::string kLogon = "\r\x1bPG1\r";
const std::string kPrompt = "ID=";
const std::string kAck = "\r\x06\r";
const std::string kNak = "\r\x15\r";
const std::string kGo = "\x1b[p\r";
const std::string kBye = "\x1b\x04\r";
const std::string k211 = "211 Message accepted\r\x06\r";
const std::string k510 = "510 Message rejected\r\x15\r";
const std::string k511 = "511 Checksum error\r\x15\r";
const std::string k512 = "512 Block error\r\x15\r";
const std::string k513 = "513 Transaction abandoned\r\x1e\r";

std::string Checksummed(const std::string& throughEtx) {
    auto data = reinterpret_cast<const uint8_t*>(throughEtx.data());
    return throughEtx + TapChecksum(data, throughEtx.size()) + "\r";
}

std::string TapBlock(const std::string& recipient, const std::string& text) {
    return Checksummed("\002" + recipient + "\r" + text + "\r\003");
}

using Replies = std::vector<std::string>;

// One centre as a profile entry configures it; its calls share the block
// count as the calls to one centre do.
class TapCentreUnderTest {
public:
    explicit TapCentreUnderTest(const std::string& value) : config_(CentreConfig(value)) {
        NewCall();
    }
    void NewCall() { session_ = std::make_unique<TapCentre>(config_, ++calls_, blocks_); }
    CentreRun Send(const std::string& input, size_t chunk = SIZE_MAX) {
        return Feed(*session_, input, kTapTime, chunk);
    }

private:
    SmsCentreConfig config_;
    uint64_t calls_ = 0;
    uint64_t blocks_ = 0;
    std::unique_ptr<TapCentre> session_;
};

TEST(TapCentre, ChecksumIsTheLowTwelveBitsOfTheSumAsCharactersFrom0x30) {
    std::pair<std::string, const char*> cases[] = {
        {"\0020170000000\rabc\r\003", "32="},       // 813 = 0x32D
        {std::string(10, '\xFF') + "\xC6", ":;<"},  // 0xABC
        {std::string(13, '\xFF') + "\xFC", "=>?"},  // 0xDEF
        {std::string(16, '\xFF') + "\x10", "000"},  // 0x1000: only bits 11-0 count
        {std::string(32, '\xFF') + "\x1F", "???"},  // 0x1FFF
    };
    for (const auto& [bytes, checksum] : cases) {
        auto data = reinterpret_cast<const uint8_t*>(bytes.data());
        EXPECT_EQ(TapChecksum(data, bytes.size()), checksum);
    }
}

TEST(TapCentre, DialogueGivesEachReplyAsOneBlockWhateverTheInputCut) {
    std::string block = TapBlock("0170000000", "abc");
    EXPECT_EQ(block, "\0020170000000\rabc\r\00332=\r");
    std::string input = kLogon + block + "\x04\r";
    for (size_t chunk = 1; chunk <= input.size(); ++chunk) {
        SCOPED_TRACE(chunk);
        CentreRun run = TapCentreUnderTest("sms-tap").Send(input, chunk);
        EXPECT_EQ(run.replies, (Replies{kPrompt, kAck, kGo, k211, kBye}));
        ASSERT_EQ(run.accepted.size(), 1u);
        EXPECT_EQ(run.accepted[0].recipient, "0170000000");
        EXPECT_EQ(run.accepted[0].originator, "");
        EXPECT_EQ(run.accepted[0].text, "abc");
        EXPECT_EQ(run.accepted[0].time, kTapTime);
        EXPECT_FALSE(run.hangUp);
    }
}

// Each input is sent after a logon (where it starts with one) or alone;
// what it must bring, and how many messages the centre takes.
TEST(TapCentre, LogonsAndBlocksGetTheirAnswers) {
    std::string good = TapBlock("0170000000", "abc");
    std::string wrongSum = good.substr(0, good.size() - 2) + ">\r";
    // 26 times "d" and one "D" after recipient "1" make the sum 0xABC.
    std::string highSum = TapBlock("1", std::string(26, 'd') + "D");
    ASSERT_EQ(highSum.substr(highSum.size() - 4), ":;<\r");
    struct Case {
        const char* name;
        std::string input;
        Replies replies;
        size_t accepted;
    } cases[] = {
        {"CR repeated", "\r\r\x1bPG1\r", {kPrompt, kPrompt, kAck, kGo}, 0},
        {"garbage before the prompt", "+++ATZ\x02\x1bPG1\x04" + kLogon, {kPrompt, kAck, kGo}, 0},
        {"password", "\r\x1bPG1000000\r", {kPrompt, kAck, kGo}, 0},
        {"wrong service, then right", "\r\x1bPG3\r\x1bPG1\r", {kPrompt, kNak, kAck, kGo}, 0},
        {"password too long", "\r\x1bPG1" + std::string(40, 'x') + "\r", {kPrompt, kNak}, 0},
        // A block is no logon; every CR in it asks for the prompt again.
        {"block before the logon",
         "\r" + good + "\x1bPG1\r",
         {kPrompt, kPrompt, kPrompt, kPrompt, kAck, kGo},
         0},
        {"checksum characters above 9, empty text",
         kLogon + highSum + TapBlock("2", ""),
         {kPrompt, kAck, kGo, k211, k211},
         2},
        {"checksum off by one", kLogon + wrongSum + good, {kPrompt, kAck, kGo, k511, k211}, 1},
        {"checksum in hexadecimal letters",
         kLogon + "\0020170000000\rabc\r\00332D\r" + good,
         {kPrompt, kAck, kGo, k511, k211},
         1},
        {"no CR after the recipient",
         kLogon + Checksummed("\0020170000000\003") + good,
         {kPrompt, kAck, kGo, k512, k211},
         1},
        {"recipient not digits",
         kLogon + TapBlock("0170-00000", "abc") + good,
         {kPrompt, kAck, kGo, k512, k211},
         1},
        {"empty recipient",
         kLogon + TapBlock("", "abc") + good,
         {kPrompt, kAck, kGo, k512, k211},
         1},
        {"text with a CR",
         kLogon + TapBlock("0170000000", "a\rb") + good,
         {kPrompt, kAck, kGo, k512, k211},
         1},
        {"ETX missing",
         kLogon + "\0020170000000\rabc\r32=\r" + good,
         {kPrompt, kAck, kGo, k512, k211},
         1},
        {"CR after the checksum missing",
         kLogon + good.substr(0, good.size() - 1) + "x" + good,
         {kPrompt, kAck, kGo, k512, k211},
         1},
        {"checksum cut short",
         kLogon + "\0020170000000\rabc\r\00332\r" + good,
         {kPrompt, kAck, kGo, k512, k211},
         1},
        {"garbage between blocks",
         kLogon + std::string(4000, '\n') + good,
         {kPrompt, kAck, kGo, k211},
         1},
        {"blocks after the logout", kLogon + "\x04\r" + good, {kPrompt, kAck, kGo, kBye}, 0},
    };
    for (const Case& c : cases) {
        CentreRun run = TapCentreUnderTest("sms-tap").Send(c.input);
        EXPECT_EQ(run.replies, c.replies) << c.name;
        EXPECT_EQ(run.accepted.size(), c.accepted) << c.name;
        EXPECT_FALSE(run.hangUp) << c.name;
    }
}

TEST(TapCentre, EachFaultShowsOnTheCallOrBlockItNames) {
    std::string block = TapBlock("0170000000", "abc");
    std::string broken = block.substr(0, block.size() - 2) + "0\r";
    std::string session = kLogon + block + block + "\x04\r";
    struct Case {
        std::string value;
        std::string input;
        Replies replies;
        size_t accepted;
    } cases[] = {
        {"sms-tap nak", session, {kPrompt, kAck, kGo, k510, k510, kBye}, 0},
        {"sms-tap rs", session, {kPrompt, kAck, kGo, k513, k513, kBye}, 0},
        {"sms-tap nak@2", session, {kPrompt, kAck, kGo, k211, k510, kBye}, 1},
        {"sms-tap no-prompt", "\r\r\r\x1bPG1\r" + block, {}, 0},
        {"sms-tap prompt-silence", session, {kPrompt, k211, k211, kBye}, 2},
        {"sms-tap no-go-ahead", session, {kPrompt, kAck, k211, k211, kBye}, 2},
        {"sms-tap no-logout", session, {kPrompt, kAck, kGo, k211, k211}, 2},
        {"sms-tap silence-after-block", session, {kPrompt, kAck, kGo, kBye}, 0},
        {"sms-tap silence-after-block@1", session, {kPrompt, kAck, kGo, k211, kBye}, 1},
        {"sms-tap no-logout@2 no-go-ahead@2", session, {kPrompt, kAck, kGo, k211, k211, kBye}, 2},
        // The first fault listed that applies decides.
        {"sms-tap rs@2 nak", session, {kPrompt, kAck, kGo, k510, k513, kBye}, 0},
        // A block with a mistake of its own shows the mistake, unless silenced.
        {"sms-tap nak", kLogon + broken, {kPrompt, kAck, kGo, k511}, 0},
        {"sms-tap silence-after-block", kLogon + broken + block, {kPrompt, kAck, kGo}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        CentreRun run = TapCentreUnderTest(c.value).Send(c.input);
        EXPECT_EQ(run.replies, c.replies);
        EXPECT_EQ(run.accepted.size(), c.accepted);
        EXPECT_FALSE(run.hangUp);
    }
}

TEST(TapCentre, CallFaultsCountCallsAndBlockFaultsCountBlocksAcrossCalls) {
    std::string block = TapBlock("0170000000", "abc");
    TapCentreUnderTest centre("sms-tap no-prompt@2 no-logout@3 nak@3");
    std::pair<std::string, Replies> calls[] = {
        {kLogon + block + block + "\x04\r", {kPrompt, kAck, kGo, k211, k211, kBye}},
        {kLogon + block, {}},
        {kLogon + block + "\x04\r", {kPrompt, kAck, kGo, k510}},
    };
    for (const auto& [input, replies] : calls) {
        EXPECT_EQ(centre.Send(input).replies, replies);
        centre.NewCall();
    }
}

TEST(TapCentre, HangUpAndInputBeyondRecoveryClearTheCall) {
    std::string block = TapBlock("0170000000", "abc");
    struct Case {
        const char* value;
        std::string input;
        Replies replies;
    } cases[] = {
        {"sms-tap hang-up", kLogon + "\x02", {kPrompt, kAck, kGo}},
        {"sms-tap hang-up@2", kLogon + block + "\x02", {kPrompt, kAck, kGo, k211}},
        {"sms-tap", std::string(kSmsMaxUnanswered + 1, 'x'), {}},
        {"sms-tap", kLogon + "\x02" + std::string(kSmsMaxUnanswered, '1'), {kPrompt, kAck, kGo}},
        {"sms-tap", "\r\x1bPG1" + std::string(kSmsMaxUnanswered, 'p'), {kPrompt}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 20));
        TapCentreUnderTest centre(c.value);
        CentreRun before = centre.Send(c.input, 1000);
        EXPECT_EQ(before.replies, c.replies);
        EXPECT_TRUE(before.hangUp);
        CentreRun after = centre.Send(kLogon + block + "\x04\r");
        EXPECT_TRUE(after.replies.empty()) << "a centre that cleared takes nothing more";
        EXPECT_TRUE(after.accepted.empty());
    }
    CentreRun below = TapCentreUnderTest("sms-tap").Send(std::string(4000, 'x') + kLogon, 1000);
    EXPECT_EQ(below.replies, (Replies{kPrompt, kAck, kGo}));
    EXPECT_FALSE(below.hangUp);
}

TEST(TapCentre, TextIsDecodedByTheCharacterMap) {
    EXPECT_EQ(TapTextToUtf8("\x24\x5B\x5C\x5E\x1E\x7B\x7C\x7E"), "§ÄÖÜßäöü");
    EXPECT_EQ(TapTextToUtf8("A]z\n\t\x7F"), "A]z\n\t\x7F");
    EXPECT_EQ(TapTextToUtf8("a\x80\xFF"), "a\uFFFD\uFFFD");
    CentreRun run = TapCentreUnderTest("sms-tap").Send(kLogon + TapBlock("1", "Gr\176\036e\n5$"));
    ASSERT_EQ(run.accepted.size(), 1u);
    EXPECT_EQ(run.accepted[0].text, "Grüße\n5§");
}

}  // namespace
}  // namespace capisim
