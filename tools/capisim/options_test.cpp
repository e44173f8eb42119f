#include "options.h"

#include <gtest/gtest.h>

#include <fstream>

namespace capisim {
namespace {

std::optional<Options> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string e;
    auto o = ParseCommandLine(args, e);
    if (error) *error = e;
    return o;
}

TEST(Options, CommandLine) {
    auto o = Parse({"--line", "A:0:5551001", "--line", "B:2662:5552001,5552002", "--outside-prefix",
                    "A:0", "--rate", "128000", "--delay", "2.5", "--ring-time", "0.5", "--call-log",
                    "/tmp/x.jsonl"});
    ASSERT_TRUE(o);
    ASSERT_EQ(o->lines.size(), 2u);
    EXPECT_EQ(o->lines[0].name, "A");
    EXPECT_EQ(o->lines[0].port, 0);
    EXPECT_EQ(o->lines[0].outsidePrefix, "0");
    EXPECT_EQ(o->lines[1].port, 2662);
    EXPECT_EQ(o->lines[1].numbers, (std::vector<std::string>{"5552001", "5552002"}));
    EXPECT_EQ(o->bitsPerSecond, 128000u);
    EXPECT_DOUBLE_EQ(o->delayMs, 2.5);
    EXPECT_DOUBLE_EQ(o->ringSeconds, 0.5);
    EXPECT_EQ(o->callLog, "/tmp/x.jsonl");

    auto defaults = Parse({"--line", "A:0:1"});
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->bitsPerSecond, 64000u);
}

TEST(Options, MistakesAreRefusedWithAMessage) {
    std::vector<std::vector<std::string>> cases = {
        {},
        {"--line"},
        {"--line", "A:0"},
        {"--line", "A:70000:1"},
        {"--line", ":0:1"},
        {"--line", "A:0:12a"},
        {"--line", "A:0:1,"},
        {"--line", "A:0:1", "--outside-prefix", "B:0"},
        {"--line", "A:0:1", "--outside-prefix", "A"},
        {"--line", "A:0:1", "--rate", "0"},
        {"--line", "A:0:1", "--ring-time", "0"},
        {"--line", "A:0:1", "--delay", "soon"},
        {"--line", "A:0:1", "--verbose", "1"},
        {"--config", "/nonexistent/capisim.ini"},
    };
    for (const auto& args : cases) {
        std::string error;
        EXPECT_FALSE(Parse(args, &error)) << testing::PrintToString(args);
        EXPECT_FALSE(error.empty()) << testing::PrintToString(args);
    }
}

TEST(Options, MistakesNameWhatIsWrong) {
    std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--line"}, "der Option --line fehlt ihr Wert"},
        {{"--call-log", "--line", "A:0:1"}, "der Option --call-log fehlt ihr Wert"},
        {{"--line", "A:0:1", "extra"}, "unbekannte Option \"extra\""},
        {{"--line", "A:0:1", "--line", "A:0:2"}, "Leitung \"A\" ist mit --line zweimal"},
        {{"--line", "A:0:1,2", "--line", "B:0:3,2"},
         "Rufnummer 2 gehört zu den Leitungen \"A\" und \"B\""},
        {{"--line", "A:0:1,1"}, "Rufnummer 1 steht bei der Leitung \"A\" zweimal"},
    };
    for (const auto& [args, message] : cases) {
        std::string error;
        EXPECT_FALSE(Parse(args, &error)) << testing::PrintToString(args);
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
}

class ConfigFile : public ::testing::Test {
protected:
    std::string Write(const std::string& text, const std::string& suffix = "") {
        // ctest runs the tests of this fixture in parallel processes.
        std::string path = testing::TempDir() + "/capisim_" +
                           testing::UnitTest::GetInstance()->current_test_info()->name() + suffix +
                           ".ini";
        std::ofstream(path) << text;
        return path;
    }
};

TEST_F(ConfigFile, SaysWhatTheCommandLineSaysAndTheSpecialNumbers) {
    std::string path = Write(
        "[Exchange]\nRate=32000\nDelay=20\nRingTime=3\nCallLog=/tmp/calls.jsonl\n"
        "[Line A]\nPort=2662\nNumbers=5551001,5551002\nOutsidePrefix=0\n"
        "[Line B]\nPort=0\nNumbers=5552001\n"
        "[Numbers]\n5557001=busy\n5557002=no-answer\n5557003=reject 3\n5557004=reject 0x34A2\n");
    auto o = Parse({"--config", path, "--rate", "64000", "--line", "B:0:5559999"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->bitsPerSecond, 64000u) << "the command line wins";
    EXPECT_DOUBLE_EQ(o->delayMs, 20);
    EXPECT_DOUBLE_EQ(o->ringSeconds, 3);
    EXPECT_EQ(o->callLog, "/tmp/calls.jsonl");
    ASSERT_EQ(o->lines.size(), 2u);
    EXPECT_EQ(o->lines[0].port, 2662);
    EXPECT_EQ(o->lines[0].outsidePrefix, "0");
    EXPECT_EQ(o->lines[1].numbers, std::vector<std::string>{"5559999"});
    ASSERT_EQ(o->specials.size(), 4u);
    EXPECT_EQ(o->specials[0].kind, SpecialKind::kBusy);
    EXPECT_EQ(o->specials[1].kind, SpecialKind::kNoAnswer);
    EXPECT_EQ(o->specials[2].kind, SpecialKind::kReject);
    EXPECT_EQ(o->specials[2].reject, 3);
    EXPECT_EQ(o->specials[3].reject, 0x34A2);
}

TEST_F(ConfigFile, MistakesNameTheirSection) {
    std::pair<std::string, std::string> cases[] = {
        {"[Line A]\nNumbers=1\n", "[Line A]"},
        {"[Line A]\nPort=1\nNumbers=x\n", "[Line A]"},
        {"[Exchange]\nRate=fast\n", "[Exchange]"},
        {"[Line A]\nPort=0\nNumbers=1\n[Numbers]\n5=sometimes\n", "[Numbers]"},
        {"[Line A]\nPort=0\nNumbers=1\n[Numbers]\n5=reject 1\n", "[Numbers]"},
        {"[Line A]\nPort=0\nNumbers=1\n[Line A]\nPort=0\nNumbers=2\n", "[Line A] steht zweimal"},
        {"[Line A]\nPort=0\nNumbers=1\n[Line a]\nPort=0\nNumbers=2\n", "[Line a] steht zweimal"},
    };
    for (const auto& [text, section] : cases) {
        std::string error;
        EXPECT_FALSE(Parse({"--config", Write(text)}, &error)) << text;
        EXPECT_NE(error.find(section), std::string::npos) << error;
    }
}

// The command line may replace a line of the file, but not give a number
// that another line of the file owns.
TEST_F(ConfigFile, LinesOfTheFileAndTheCommandLineShareNoNumber) {
    std::string path =
        Write("[Line A]\nPort=0\nNumbers=5551001\n[Line B]\nPort=0\nNumbers=5552001\n");
    auto replaced = Parse({"--config", path, "--line", "B:0:5552001,5552002"});
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->lines.size(), 2u);

    std::string error;
    EXPECT_FALSE(Parse({"--config", path, "--line", "C:0:5551001"}, &error));
    EXPECT_NE(error.find("Rufnummer 5551001 gehört zu den Leitungen \"A\" und \"C\""),
              std::string::npos)
        << error;
}

TEST_F(ConfigFile, SmsCentresComeFromTheNumbersAndTheCommandLine) {
    std::string path = Write(
        "[Exchange]\nSmsLog=/tmp/file-sms.jsonl\n"
        "[Line A]\nPort=0\nNumbers=5551001\n"
        "[Numbers]\n5558001=sms-tap\n5558002=sms-emi negative/02/Syntaxfehler@2\n"
        "5558003=sms-tap nak@2 no-logout\n5557001=busy\n");
    auto file = Parse({"--config", path});
    ASSERT_TRUE(file);
    EXPECT_EQ(file->smsLog, "/tmp/file-sms.jsonl");
    ASSERT_EQ(file->specials.size(), 4u);
    EXPECT_EQ(file->specials[0].kind, SpecialKind::kSmsCentre);
    EXPECT_EQ(file->specials[0].centre.protocol, SmsProtocol::kTap);
    const SmsCentreConfig& emi = file->specials[1].centre;
    EXPECT_EQ(emi.protocol, SmsProtocol::kEmi);
    ASSERT_EQ(emi.faults.size(), 1u);
    EXPECT_EQ(emi.faults[0].kind, SmsFaultKind::kNegative);
    EXPECT_EQ(emi.faults[0].code + "/" + emi.faults[0].text, "02/Syntaxfehler");
    EXPECT_EQ(emi.faults[0].only, 2u);
    const SmsCentreConfig& tap = file->specials[2].centre;
    ASSERT_EQ(tap.faults.size(), 2u);
    EXPECT_EQ(tap.faults[0].kind, SmsFaultKind::kNak);
    EXPECT_EQ(tap.faults[0].only, 2u);
    EXPECT_EQ(tap.faults[1].kind, SmsFaultKind::kNoLogout);
    EXPECT_EQ(tap.faults[1].only, 0u);

    // The command line replaces the file's entry of a number and adds others.
    auto both =
        Parse({"--config", path, "--sms-centre", "5557001=sms-emi  hang-up@3\tsilence-after-block",
               "--sms-centre", "5559000=sms-tap", "--sms-log", "/tmp/sms.jsonl"});
    ASSERT_TRUE(both);
    EXPECT_EQ(both->smsLog, "/tmp/sms.jsonl");
    ASSERT_EQ(both->specials.size(), 5u);
    const SpecialNumber& replaced = both->specials[3];
    EXPECT_EQ(replaced.number, "5557001");
    EXPECT_EQ(replaced.kind, SpecialKind::kSmsCentre);
    ASSERT_EQ(replaced.centre.faults.size(), 2u);
    EXPECT_EQ(replaced.centre.faults[0].kind, SmsFaultKind::kHangUp);
    EXPECT_EQ(replaced.centre.faults[0].only, 3u);
    EXPECT_EQ(replaced.centre.faults[1].kind, SmsFaultKind::kSilenceAfterBlock);
    EXPECT_EQ(both->specials[4].number, "5559000");
}

TEST_F(ConfigFile, SmsCentreMistakesNameWhatIsWrong) {
    std::string lineOwns =
        Write("[Line A]\nPort=0\nNumbers=5551001\n[Numbers]\n5551001=sms-emi\n", "1");
    std::string twice = Write("[Line A]\nPort=0\nNumbers=1\n[Numbers]\n5=sms-tap\n5=busy\n", "2");
    std::string badFault = Write("[Line A]\nPort=0\nNumbers=1\n[Numbers]\n5=sms-tap bogus\n", "3");
    std::string unknown = Write("[Line A]\nPort=0\nNumbers=1\n[Numbers]\n5=sms-smpp\n", "4");
    const std::string usage = "--sms-centre erwartet NUMMER=sms-tap|sms-emi [FEHLER...]";
    auto centre = [](const std::string& value) {
        return std::vector<std::string>{"--line", "A:0:5551001", "--sms-centre", value};
    };
    std::pair<std::vector<std::string>, std::string> cases[] = {
        {centre("5558001"), usage},
        {centre("55x=sms-tap"), usage},
        {centre("=sms-tap"), usage},
        {centre("5558001=sms-smpp"), usage},
        {centre("5558001=busy"), usage},
        {centre("5558001=sms-tap negative/02/x"),
         "der Fehler \"negative/02/x\" passt nicht zu sms-tap"},
        {centre("5558001=sms-emi nak"),
         "der Fehler \"nak\" passt nicht zu sms-emi; möglich sind negative/CODE/TEXT, "
         "silence-after-block, hang-up"},
        {centre("5558001=sms-emi no-prompt"), "passt nicht zu sms-emi"},
        {centre("5558001=sms-tap nak@0"),
         "beim Fehler \"nak@0\" muss nach @ eine Zahl ab 1 stehen"},
        {centre("5558001=sms-tap nak@"), "nach @ eine Zahl ab 1"},
        {centre("5558001=sms-tap nak@2x"), "nach @ eine Zahl ab 1"},
        {centre("5558001=sms-tap nak@1@2"), "der Fehler \"nak@1@2\" passt nicht zu sms-tap"},
        {centre("5558001=sms-emi negative/2/x"), "braucht die Form negative/CODE/TEXT"},
        {centre("5558001=sms-emi negative/0a/x"), "negative/CODE/TEXT"},
        {centre("5558001=sms-emi negative/02/"), "negative/CODE/TEXT"},
        {centre("5558001=sms-emi negative/02"), "negative/CODE/TEXT"},
        {centre("5558001=sms-emi negative/02/a/b"), "negative/CODE/TEXT"},
        {centre("5558001=sms-emi negative/02/Ungültig"), "negative/CODE/TEXT"},
        {centre("5558001=sms-emi negative/02/" + std::string(65, 'x')), "negative/CODE/TEXT"},
        {centre("5551001=sms-tap"),
         "die Rufnummer 5551001 gehört zur Leitung \"A\" und kann nicht zugleich SMS-Zentrale "
         "sein"},
        {{"--line", "A:0:1", "--sms-centre", "5=sms-tap", "--sms-centre", "5=sms-emi"},
         "die SMS-Zentrale 5 ist mit --sms-centre zweimal angegeben"},
        {{"--line", "A:0:1", "--sms-centre"}, "der Option --sms-centre fehlt ihr Wert"},
        {{"--line", "A:0:1", "--sms-log"}, "der Option --sms-log fehlt ihr Wert"},
        {{"--config", lineOwns}, "die Rufnummer 5551001 gehört zur Leitung \"A\""},
        {{"--config", twice}, "[Numbers] nennt die Rufnummer 5 zweimal"},
        {{"--config", badFault},
         "[Numbers] 5=sms-tap bogus: der Fehler \"bogus\" passt nicht zu sms-tap"},
        {{"--config", unknown},
         "[Numbers] 5=sms-smpp: erwartet busy, no-answer, reject WERT, sms-tap oder sms-emi"},
    };
    for (const auto& [args, message] : cases) {
        std::string error;
        EXPECT_FALSE(Parse(args, &error)) << testing::PrintToString(args);
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
    // The longest text a negative answer may carry still fits.
    EXPECT_TRUE(Parse(centre("5558001=sms-emi negative/99/" + std::string(64, 'x'))));
}

}  // namespace
}  // namespace capisim
