#include "emi_centre.h"

#include <gtest/gtest.h>

namespace capisim {
namespace {

using std::chrono::system_clock;

// 2026-12-07 13:45:00 UTC
const system_clock::time_point kEmiTime = system_clock::from_time_t(1796651100);

std::string EmiText(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

std::string EmiFramed(const std::string& body) {
    return "\x02" + body + "\x03";
}

std::string EmiHex(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : text) {
        hex += digits[c >> 4];
        hex += digits[c & 0xF];
    }
    return hex;
}

// Operation 51 with the fields a sender fills; every other field empty.
std::string EmiSubmit(const std::string& trn, const std::string& recipient,
                      const std::string& originator, const std::string& msg,
                      const std::string& mt = "3") {
    std::string fields = "O/51/" + recipient + "/" + originator + "/" + std::string(16, '/') + mt +
                         "//" + msg + "/" + std::string(12, '/');
    return EmiText(EmiFrame(trn, fields));
}

std::string EmiNegative(const std::string& trn, const std::string& code, const std::string& text) {
    return EmiText(EmiFrame(trn, "R/51/N/" + code + "/" + text + "/"));
}

std::string EmiPositive(const std::string& trn, const std::string& recipient) {
    return EmiText(EmiFrame(trn, "R/51/A//" + recipient + ":071226134500/"));
}

struct EmiRun {
    std::vector<std::string> replies;
    std::vector<SmsMessage> accepted;
    bool hangUp = false;
};

class EmiCentreUnderTest {
public:
    explicit EmiCentreUnderTest(const std::string& value) {
        std::string error;
        auto config = ParseSmsCentre(value, error);
        EXPECT_TRUE(config) << error;
        if (config) config_ = *config;
        session_ = std::make_unique<EmiCentre>(config_, frames_);
    }

    void NewCall() { session_ = std::make_unique<EmiCentre>(config_, frames_); }

    EmiRun Send(const std::string& input, size_t chunk = SIZE_MAX) {
        EmiRun run;
        for (size_t at = 0; at < input.size(); at += chunk) {
            std::string piece = input.substr(at, chunk);
            SmsCentreOutput out;
            session_->Receive(Bytes(piece.begin(), piece.end()), kEmiTime, out);
            for (const Bytes& r : out.replies) run.replies.push_back(EmiText(r));
            for (SmsMessage& m : out.accepted) run.accepted.push_back(m);
            run.hangUp = run.hangUp || out.hangUp;
        }
        return run;
    }

private:
    SmsCentreConfig config_;
    uint64_t frames_ = 0;
    std::unique_ptr<EmiCentre> session_;
};

using Frames = std::vector<std::string>;

TEST(EmiCentre, WorkedExampleIsAcceptedWithTheTimeOfTheCentre) {
    std::string frame = EmiSubmit("01", "0170000000", "0", "616263");
    EXPECT_EQ(frame,
              EmiFramed("01/00067/O/51/0170000000/0/////////////////3//616263/////////////61"));
    EmiCentreUnderTest centre("sms-emi");
    EmiRun run = centre.Send(frame);
    EXPECT_EQ(run.replies, Frames{EmiFramed("01/00043/R/51/A//0170000000:071226134500/1B")});
    ASSERT_EQ(run.accepted.size(), 1u);
    EXPECT_EQ(run.accepted[0].recipient, "0170000000");
    EXPECT_EQ(run.accepted[0].originator, "0");
    EXPECT_EQ(run.accepted[0].text, "abc");
    EXPECT_EQ(run.accepted[0].time, kEmiTime);
}

// LEN counts every character between STX and ETX, the checksum included.
TEST(EmiCentre, NegativeAnswersCarryTheirLengthAndChecksum) {
    EXPECT_EQ(EmiNegative("01", "02", "ERR"), EmiFramed("01/00025/R/51/N/02/ERR/F2"));
    EXPECT_EQ(EmiNegative("07", "01", "Checksum error"),
              EmiFramed("07/00036/R/51/N/01/Checksum error/8D"));
}

TEST(EmiCentre, EveryCheckHasItsNegativeAnswer) {
    std::string good = EmiSubmit("01", "0170000000", "0", "616263");
    std::string body = good.substr(1, good.size() - 2);
    auto resummed = [](std::string text) { return EmiFramed(text + EmiChecksum(text)); };
    std::string fields = "O/51/0170000000/0/" + std::string(16, '/') + "3//616263/";
    std::string lowercaseSum = EmiSubmit("02", "0170000000", "0", "4a");
    EXPECT_EQ(lowercaseSum.substr(lowercaseSum.size() - 3), "BB\x03");
    lowercaseSum.replace(lowercaseSum.size() - 3, 2, "bb");
    struct Case {
        const char* name;
        std::string frame;
        std::string reply;
    } cases[] = {
        {"checksum wrong", EmiFramed(body.substr(0, body.size() - 1) + "2"),
         EmiNegative("01", "01", "Checksum error")},
        {"checksum in lowercase", lowercaseSum, EmiNegative("02", "01", "Checksum error")},
        {"LEN one short",
         resummed("01/00066/O/51/0170000000/0/////////////////3//616263/////////////"),
         EmiNegative("01", "02", "Syntax error")},
        {"LEN of four digits",
         resummed("01/0066/O/51/0170000000/0/////////////////3//616263/////////////"),
         EmiNegative("01", "02", "Syntax error")},
        {"a field missing", EmiText(EmiFrame("01", fields + std::string(11, '/'))),
         EmiNegative("01", "02", "Syntax error")},
        {"a field too many", EmiText(EmiFrame("01", fields + std::string(13, '/'))),
         EmiNegative("01", "02", "Syntax error")},
        {"MT 2", EmiSubmit("03", "0170000000", "0", "616263", "2"),
         EmiNegative("03", "02", "Syntax error")},
        {"odd number of hex digits", EmiSubmit("04", "0170000000", "0", "61626"),
         EmiNegative("04", "02", "Syntax error")},
        {"not hex", EmiSubmit("05", "0170000000", "0", "6162G3"),
         EmiNegative("05", "02", "Syntax error")},
        {"no recipient", EmiSubmit("06", "", "0", "616263"),
         EmiNegative("06", "02", "Syntax error")},
        {"recipient with a plus", EmiSubmit("06", "+49170", "0", "616263"),
         EmiNegative("06", "02", "Syntax error")},
        {"operation 52", EmiText(EmiFrame("08", "O/52/" + fields.substr(5) + std::string(12, '/'))),
         EmiNegative("08", "03", "Operation not supported")},
        {"operation of one digit",
         EmiText(EmiFrame("08", "O/5/" + fields.substr(5) + std::string(12, '/'))),
         EmiNegative("08", "02", "Syntax error")},
        {"a result, not an operation",
         EmiText(EmiFrame("09", "R" + fields.substr(1) + std::string(12, '/'))),
         EmiNegative("09", "02", "Syntax error")},
        {"TRN of one digit", EmiText(EmiFrame("1", fields + std::string(12, '/'))),
         EmiNegative("00", "02", "Syntax error")},
        {"empty frame", EmiFramed(""), EmiNegative("00", "02", "Syntax error")},
        {"no slash before the checksum", EmiFramed("01/00005"),
         EmiNegative("01", "02", "Syntax error")},
    };
    for (const Case& c : cases) {
        EmiCentreUnderTest centre("sms-emi");
        EmiRun run = centre.Send(c.frame);
        EXPECT_EQ(run.replies, Frames{c.reply}) << c.name;
        EXPECT_TRUE(run.accepted.empty()) << c.name;
    }
}

TEST(EmiCentre, MessageTextInEitherCaseOfHexIsDecodedByTheCharacterMap) {
    EXPECT_EQ(EmiTextToUtf8("\x5E\x5B\x5C\x5D\x7E\x7B\x7C\x7D"), "§ÄÖÜßäöü");
    EXPECT_EQ(EmiTextToUtf8("$@\r\n\x1E"), "$@\r\n\x1E");
    EXPECT_EQ(EmiTextToUtf8("a\x80\xFF"), "a\uFFFD\uFFFD");
    EmiCentreUnderTest centre("sms-emi");
    std::string lower = "47727d7e650d4b7c6c6e205e";  // "Grüße\rKöln §"
    EmiRun run = centre.Send(EmiSubmit("01", "0170000000", "Telvora\xC4", lower));
    ASSERT_EQ(run.accepted.size(), 1u);
    EXPECT_EQ(run.accepted[0].text, "Grüße\rKöln §");
    EXPECT_EQ(run.accepted[0].originator, "Telvora\uFFFD");
}

TEST(EmiCentre, FramesAreReassembledWhateverTheInputCut) {
    std::string long160(160, 'x');
    for (size_t i = 0; i < long160.size(); ++i) long160[i] = char('a' + i % 26);
    std::string first = EmiSubmit("01", "0170000000", "0", EmiHex(long160));
    std::string second = EmiSubmit("02", "0171111111", "Absender", EmiHex("zwei"));
    EXPECT_GT(first.size(), 380u);
    std::string input = first + second;
    for (size_t chunk = 1; chunk <= input.size(); ++chunk) {
        SCOPED_TRACE(chunk);
        EmiCentreUnderTest centre("sms-emi");
        EmiRun run = centre.Send(input, chunk);
        EXPECT_EQ(run.replies,
                  (Frames{EmiPositive("01", "0170000000"), EmiPositive("02", "0171111111")}));
        ASSERT_EQ(run.accepted.size(), 2u);
        EXPECT_EQ(run.accepted[0].text, long160);
        EXPECT_EQ(run.accepted[1].originator, "Absender");
        EXPECT_EQ(run.accepted[1].text, "zwei");
    }
}

TEST(EmiCentre, EachFaultShowsOnTheFrameItNames) {
    std::string frame = EmiSubmit("01", "0170000000", "0", "616263");
    std::string broken = EmiSubmit("01", "0170000000", "0", "6162636");
    std::string accepted = EmiPositive("01", "0170000000");
    struct Case {
        std::string value;
        std::string input;
        Frames replies;
        size_t accepted;
    } cases[] = {
        {"sms-emi negative/04/Busy", frame, {EmiNegative("01", "04", "Busy")}, 0},
        {"sms-emi negative/02/Syntaxfehler@2",
         frame + frame + frame,
         {accepted, EmiNegative("01", "02", "Syntaxfehler"), accepted},
         2},
        {"sms-emi silence-after-block", frame + frame, {}, 0},
        {"sms-emi silence-after-block@1", frame + frame, {accepted}, 1},
        {"sms-emi silence-after-block@1 negative/05/x",
         frame + frame,
         {EmiNegative("01", "05", "x")},
         0},
        // A frame with a mistake of its own shows the mistake.
        {"sms-emi negative/04/Busy", broken, {EmiNegative("01", "02", "Syntax error")}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EmiCentreUnderTest centre(c.value);
        EmiRun run = centre.Send(c.input);
        EXPECT_EQ(run.replies, c.replies);
        EXPECT_EQ(run.accepted.size(), c.accepted);
        EXPECT_FALSE(run.hangUp);
    }
}

TEST(EmiCentre, FramesAreCountedAcrossCallsAndHangUpClearsAtTheFirstByte) {
    std::string frame = EmiSubmit("01", "0170000000", "0", "616263");
    EmiCentreUnderTest centre("sms-emi negative/10/Eins@1 hang-up@3");
    EmiRun first = centre.Send(frame);
    EXPECT_EQ(first.replies, Frames{EmiNegative("01", "10", "Eins")});
    centre.NewCall();
    EmiRun second = centre.Send(frame + "\x02");
    EXPECT_EQ(second.replies, Frames{EmiPositive("01", "0170000000")});
    EXPECT_TRUE(second.hangUp) << "the third frame's first byte";
    EmiRun after = centre.Send(frame.substr(1) + frame);
    EXPECT_TRUE(after.replies.empty()) << "a centre that cleared takes nothing more";
    EXPECT_TRUE(after.accepted.empty());
}

TEST(EmiCentre, InputItCannotPlaceIsIgnoredUpToALimit) {
    std::string frame = EmiSubmit("01", "0170000000", "0", "616263");
    std::string cutShort = frame.substr(0, 40);
    struct Case {
        const char* name;
        std::string input;
        bool hangUp;
        size_t replies;
    } cases[] = {
        {"garbage before a frame", std::string(4000, '\r') + frame, false, 1},
        {"endless garbage", std::string(kSmsMaxUnanswered + 1, 'x'), true, 0},
        {"a frame without end", "\x02" + std::string(kSmsMaxUnanswered, '0'), true, 0},
        {"a frame cut short by the next", cutShort + frame, false, 1},
        {"stray ETX", "\x03\x03" + frame, false, 1},
    };
    for (const Case& c : cases) {
        EmiCentreUnderTest centre("sms-emi");
        EmiRun run = centre.Send(c.input, 999);
        EXPECT_EQ(run.hangUp, c.hangUp) << c.name;
        EXPECT_EQ(run.replies.size(), c.replies) << c.name;
    }
}

}  // namespace
}  // namespace capisim
