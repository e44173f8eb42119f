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
    std::string Write(const std::string& text) {
        // ctest runs the tests of this fixture in parallel processes.
        std::string path = testing::TempDir() + "/capisim_" +
                           testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
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

}  // namespace
}  // namespace capisim
