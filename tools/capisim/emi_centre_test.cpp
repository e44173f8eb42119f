#include "emi_centre.h"

#include <gtest/gtest.h>

#include "sms_centre_test_support.h"

namespace capisim {
namespace {

// 2026-12-07 13:45:00 UTC
const auto kEmiTime = std::chrono::system_clock::from_time_t(1796651100);

std::string EmiText(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

std::string EmiHex(const std::string& text) {
    std::string hex;
    for (unsigned char c : text) hex += {"0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 15]};
    return hex;
}

// The fields of operation 51 from AdC to RES5: those a sender fills, the
// others empty.
std::string SubmitFields(const std::string& recipient, const std::string& originator,
                         const std::string& msg, const std::string& mt = "3") {
    return recipient + "/" + originator + "/" + std::string(16, '/') + mt + "//" + msg + "/" +
           std::string(12, '/');
}

std::string EmiSubmit(const std::string& trn, const std::string& recipient,
                      const std::string& originator, const std::string& msg,
                      const std::string& mt = "3") {
    return EmiText(EmiFrame(trn, "O/51/" + SubmitFields(recipient, originator, msg, mt)));
}

std::string EmiNegative(const std::string& trn, const std::string& code, const std::string& text) {
    return EmiText(EmiFrame(trn, "R/51/N/" + code + "/" + text + "/"));
}

std::string EmiPositive(const std::string& trn, const std::string& recipient) {
    return EmiText(EmiFrame(trn, "R/51/A//" + recipient + ":071226134500/"));
}

using Frames = std::vector<std::string>;

class EmiCentreUnderTest {
public:
    explicit EmiCentreUnderTest(const std::string& value) : config_(CentreConfig(value)) {
        NewCall();
    }
    void NewCall() { session_ = std::make_unique<EmiCentre>(config_, frames_); }
    CentreRun Send(const std::string& input, size_t chunk = SIZE_MAX) {
        return Feed(*session_, input, kEmiTime, chunk);
    }

private:
    SmsCentreConfig config_;
    uint64_t frames_ = 0;
    std::unique_ptr<EmiCentre> session_;
};

TEST(EmiCentre, WorkedExampleIsAcceptedAndAnswersCountTheirLength) {
    std::string frame = EmiSubmit("01", "0170000000", "0", "616263");
    EXPECT_EQ(frame, "\00201/00067/O/51/0170000000/0/////////////////3//616263/////////////61\003");
    CentreRun run = EmiCentreUnderTest("sms-emi").Send(frame);
    EXPECT_EQ(run.replies, Frames{"\00201/00043/R/51/A//0170000000:071226134500/1B\003"});
    ASSERT_EQ(run.accepted.size(), 1u);
    EXPECT_EQ(run.accepted[0].recipient, "0170000000");
    EXPECT_EQ(run.accepted[0].originator, "0");
    EXPECT_EQ(run.accepted[0].text, "abc");
    EXPECT_EQ(run.accepted[0].time, kEmiTime);
    EXPECT_EQ(EmiNegative("01", "02", "ERR"), "\00201/00025/R/51/N/02/ERR/F2\003");
}

TEST(EmiCentre, EveryCheckHasItsNegativeAnswer) {
    std::string good = EmiSubmit("01", "0170000000", "0", "616263");
    std::string fields = SubmitFields("0170000000", "0", "616263");
    auto resummed = [](const std::string& text) {
        return "\002" + text + EmiChecksum(text) + "\003";
    };
    std::string lowercaseSum = EmiSubmit("02", "0170000000", "0", "4a");
    ASSERT_EQ(lowercaseSum.substr(lowercaseSum.size() - 3), "BB\003");
    lowercaseSum.replace(lowercaseSum.size() - 3, 2, "bb");
    const std::string syntax = "Syntax error";
    struct Case {
        const char* name;
        std::string frame;
        std::string reply;
    } cases[] = {
        {"checksum wrong", good.substr(0, good.size() - 2) + "2\003",
         EmiNegative("01", "01", "Checksum error")},
        {"checksum in lowercase", lowercaseSum, EmiNegative("02", "01", "Checksum error")},
        {"LEN one short", resummed("01/00066/O/51/" + fields), EmiNegative("01", "02", syntax)},
        {"LEN of four digits", resummed("01/0066/O/51/" + fields), EmiNegative("01", "02", syntax)},
        {"a field missing", EmiText(EmiFrame("01", "O/51/" + fields.substr(0, fields.size() - 1))),
         EmiNegative("01", "02", syntax)},
        {"a field too many", EmiText(EmiFrame("01", "O/51/" + fields + "/")),
         EmiNegative("01", "02", syntax)},
        {"MT 2", EmiSubmit("03", "0170000000", "0", "616263", "2"),
         EmiNegative("03", "02", syntax)},
        {"odd number of hex digits", EmiSubmit("04", "0170000000", "0", "61626"),
         EmiNegative("04", "02", syntax)},
        {"not hex", EmiSubmit("05", "0170000000", "0", "6162G3"), EmiNegative("05", "02", syntax)},
        {"no recipient", EmiSubmit("06", "", "0", "616263"), EmiNegative("06", "02", syntax)},
        {"recipient with a plus", EmiSubmit("06", "+49170", "0", "61"),
         EmiNegative("06", "02", syntax)},
        {"operation 52", EmiText(EmiFrame("08", "O/52/" + fields)),
         EmiNegative("08", "03", "Operation not supported")},
        {"operation of one digit", EmiText(EmiFrame("08", "O/5/" + fields)),
         EmiNegative("08", "02", syntax)},
        {"a result, not an operation", EmiText(EmiFrame("09", "R/51/" + fields)),
         EmiNegative("09", "02", syntax)},
        {"TRN of one digit", EmiText(EmiFrame("1", "O/51/" + fields)),
         EmiNegative("00", "02", syntax)},
        {"empty frame", "\002\003", EmiNegative("00", "02", syntax)},
        {"no slash before the checksum", "\00201/00005\003", EmiNegative("01", "02", syntax)},
    };
    for (const Case& c : cases) {
        CentreRun run = EmiCentreUnderTest("sms-emi").Send(c.frame);
        EXPECT_EQ(run.replies, Frames{c.reply}) << c.name;
        EXPECT_TRUE(run.accepted.empty()) << c.name;
    }
}

TEST(EmiCentre, FramesAreReassembledWhateverTheInputCut) {
    std::string text160;
    for (int i = 0; i < 160; ++i) text160 += char('a' + i % 26);
    std::string first = EmiSubmit("01", "0170000000", "0", EmiHex(text160));
    std::string second = EmiSubmit("02", "0171111111", "Absender", EmiHex("zwei"));
    EXPECT_GT(first.size(), 380u);
    std::string input = first + second;
    for (size_t chunk = 1; chunk <= input.size(); ++chunk) {
        SCOPED_TRACE(chunk);
        CentreRun run = EmiCentreUnderTest("sms-emi").Send(input, chunk);
        EXPECT_EQ(run.replies,
                  (Frames{EmiPositive("01", "0170000000"), EmiPositive("02", "0171111111")}));
        ASSERT_EQ(run.accepted.size(), 2u);
        EXPECT_EQ(run.accepted[0].text, text160);
        EXPECT_EQ(run.accepted[1].originator, "Absender");
        EXPECT_EQ(run.accepted[1].text, "zwei");
    }
}

TEST(EmiCentre, EachFaultShowsOnTheFrameItNames) {
    std::string frame = EmiSubmit("01", "0170000000", "0", "616263");
    std::string broken = EmiSubmit("01", "0170000000", "0", "6162636");
    std::string yes = EmiPositive("01", "0170000000");
    struct Case {
        std::string value;
        std::string input;
        Frames replies;
        size_t accepted;
    } cases[] = {
        {"sms-emi negative/04/Busy", frame, {EmiNegative("01", "04", "Busy")}, 0},
        {"sms-emi negative/02/Syntaxfehler@2",
         frame + frame + frame,
         {yes, EmiNegative("01", "02", "Syntaxfehler"), yes},
         2},
        {"sms-emi silence-after-block", frame + frame, {}, 0},
        {"sms-emi silence-after-block@1", frame + frame, {yes}, 1},
        {"sms-emi silence-after-block@1 negative/05/x",
         frame + frame,
         {EmiNegative("01", "05", "x")},
         0},
        // A frame with a mistake of its own shows the mistake.
        {"sms-emi negative/04/Busy", broken, {EmiNegative("01", "02", "Syntax error")}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        CentreRun run = EmiCentreUnderTest(c.value).Send(c.input);
        EXPECT_EQ(run.replies, c.replies);
        EXPECT_EQ(run.accepted.size(), c.accepted);
        EXPECT_FALSE(run.hangUp);
    }
}

TEST(EmiCentre, FramesAreCountedAcrossCallsAndHangUpClearsAtTheFirstByte) {
    std::string frame = EmiSubmit("01", "0170000000", "0", "616263");
    EmiCentreUnderTest centre("sms-emi negative/10/Eins@1 hang-up@3");
    EXPECT_EQ(centre.Send(frame).replies, Frames{EmiNegative("01", "10", "Eins")});
    centre.NewCall();
    CentreRun second = centre.Send(frame + "\x02");
    EXPECT_EQ(second.replies, Frames{EmiPositive("01", "0170000000")});
    EXPECT_TRUE(second.hangUp) << "the third frame's first byte";
    CentreRun after = centre.Send(frame.substr(1) + frame);
    EXPECT_TRUE(after.replies.empty()) << "a centre that cleared takes nothing more";
    EXPECT_TRUE(after.accepted.empty());
}

TEST(EmiCentre, InputItCannotPlaceIsIgnoredUpToALimit) {
    std::string frame = EmiSubmit("01", "0170000000", "0", "616263");
    struct Case {
        const char* name;
        std::string input;
        bool hangUp;
        size_t replies;
    } cases[] = {
        {"garbage before a frame", std::string(4000, '\r') + frame, false, 1},
        {"endless garbage", std::string(kSmsMaxUnanswered + 1, 'x'), true, 0},
        {"a frame without end", "\x02" + std::string(kSmsMaxUnanswered, '0'), true, 0},
        {"a frame cut short by the next", frame.substr(0, 40) + frame, false, 1},
        {"stray ETX", "\x03\x03" + frame, false, 1},
    };
    for (const Case& c : cases) {
        CentreRun run = EmiCentreUnderTest("sms-emi").Send(c.input, 999);
        EXPECT_EQ(run.hangUp, c.hangUp) << c.name;
        EXPECT_EQ(run.replies.size(), c.replies) << c.name;
    }
}

TEST(EmiCentre, TextInEitherCaseOfHexIsDecodedByTheCharacterMap) {
    EXPECT_EQ(EmiTextToUtf8("\x5E\x5B\x5C\x5D\x7E\x7B\x7C\x7D"), "§ÄÖÜßäöü");
    EXPECT_EQ(EmiTextToUtf8("$@\r\n\x1E"), "$@\r\n\x1E");
    EXPECT_EQ(EmiTextToUtf8("a\x80\xFF"), "a\uFFFD\uFFFD");
    std::string lower = "47727d7e650d4b7c6c6e205e";  // "Grüße\rKöln §"
    CentreRun run = EmiCentreUnderTest("sms-emi").Send(EmiSubmit("01", "1", "Telvora\xC4", lower));
    ASSERT_EQ(run.accepted.size(), 1u);
    EXPECT_EQ(run.accepted[0].text, "Grüße\rKöln §");
    EXPECT_EQ(run.accepted[0].originator, "Telvora\uFFFD");
}

}  // namespace
}  // namespace capisim
