#include "debuglog.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform.h"

namespace {

namespace fs = std::filesystem;

class DebugLogTest : public testing::Test {
protected:
    DebugLogTest() {
        std::string tmpl = (fs::temp_directory_path() / "telvora-debuglog-XXXXXX").string();
        dir_ = mkdtemp(tmpl.data());
        config_ = dir_ / "Telvora.cfg";
        log_ = dir_ / "Velo.log";
    }
    ~DebugLogTest() override { fs::remove_all(dir_); }

    void WriteConfig(const std::string& text) { std::ofstream(config_, std::ios::binary) << text; }

    // A log that is on, writing into log_.
    DebugLog OnLog() {
        WriteConfig("[Parameters]\ndebug=1\n");
        DebugLog log;
        log.Init(log_.string(), config_.string());
        EXPECT_TRUE(log.IsOn());
        return log;
    }

    std::string LogText() const {
        std::ifstream in(log_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_, config_, log_;
};

// "0x" and the low 32 bits of the address, as the dump shows a line's first byte.
std::string AddressOf(const void* p) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p) & 0xFFFFFFFFu));
    return text;
}

// True when text is the ctime text of a second between before and after.
bool IsTimeBetween(const std::string& text, std::time_t before, std::time_t after) {
    for (std::time_t t = before; t <= after; ++t) {
        if (CTimeText(t) == text) return true;
    }
    return false;
}

TEST_F(DebugLogTest, OnlyTheIntegerOneSwitchesTheLogOn) {
    struct Case {
        const char* config;
        bool on;
    } cases[] = {
        {"[Parameters]\ndebug=1\n", true},
        {"[Parameters]\r\ndebug = 1 \r\n", true},
        {"[Parameters]\ndebug=01\n", true},
        {"[Parameters]\ndebug=+1\n", true},
        {"[parameters]\nDEBUG=1\n", true},
        {"[Parameters]\ndebug=2\n", false},
        {"[Parameters]\ndebug=0\n", false},
        {"[Parameters]\ndebug=-1\n", false},
        {"[Parameters]\ndebug=ja\n", false},
        {"[Parameters]\ndebug=on\n", false},
        {"[Parameters]\ndebug=\n", false},
        {"[Parameters]\ndebug=0x1\n", false},
        {"[Parameters]\ndebug=4294967297\n", false},
        {"[Parameters]\ndebug=18446744073709551617\n", false},
        {"[Parameters]\nother=1\n", false},
        {"[Sender]\ndebug=1\n", false},
        {"", false},
    };
    for (const auto& c : cases) {
        WriteConfig(c.config);
        DebugLog log;
        log.Init(log_.string(), config_.string());
        EXPECT_EQ(log.IsOn(), c.on) << c.config;
        log.Write("line\n");
        log.Dump("block", "abc", 3);
        EXPECT_EQ(fs::exists(log_), c.on) << c.config;
        fs::remove(log_);
    }
}

TEST_F(DebugLogTest, MissingConfigurationLeavesTheLogOff) {
    DebugLog log;
    log.Init(log_.string(), (dir_ / "nowhere.cfg").string());
    log.Write("line\n");
    log.Printf("%s\n", "formatted");
    log.Dump("block", "abc", 3);
    EXPECT_FALSE(log.IsOn());
    EXPECT_FALSE(fs::exists(log_));
}

TEST_F(DebugLogTest, RecordIsTimeColonMessageAndRunsOnWithoutLineFeed) {
    DebugLog log = OnLog();
    std::time_t before = std::time(nullptr);
    log.Write("++CRComObj::SendMessage");
    log.Write("  weiter\n");
    log.Printf("**CRComObj::SendMessage (cr=%d)\n", 4);
    std::time_t after = std::time(nullptr);

    std::string text = LogText();
    const std::string messages[] = {"++CRComObj::SendMessage", "  weiter\n",
                                    "**CRComObj::SendMessage (cr=4)\n"};
    std::size_t pos = 0;
    for (const auto& message : messages) {
        ASSERT_GE(text.size(), pos + 25 + message.size()) << text;
        EXPECT_TRUE(IsTimeBetween(text.substr(pos, 24), before, after)) << text.substr(pos, 24);
        EXPECT_EQ(text.substr(pos + 24, 1 + message.size()), ":" + message);
        pos += 25 + message.size();
    }
    EXPECT_EQ(pos, text.size());
    // The first message has no line feed, so the second record joins its line.
    EXPECT_EQ(text.find('\n'), 25 + messages[0].size() + 25 + messages[1].size() - 1);
}

TEST_F(DebugLogTest, LongPrintfIsNotCut) {
    DebugLog log = OnLog();
    std::string longText(5000, 'x');
    log.Printf("  %s|\n", longText.c_str());
    std::string text = LogText();
    EXPECT_EQ(text.substr(24), ":  " + longText + "|\n");
}

TEST_F(DebugLogTest, DumpOfSixteenBytesIsOneLine) {
    DebugLog log = OnLog();
    const unsigned char data[16] = {'H', 'a', 'l',  'l',  'o',  ' ', 0x00, 0x1F,
                                    '!', '~', 0x7F, 0x80, 0xFF, 'A', 'z',  '0'};
    log.Dump("  Message to send", data, 16);
    EXPECT_EQ(LogText(),
              "  Message to send: (Laenge=16)\n" + AddressOf(data) +
                  " 48 61 6C 6C 6F 20 00 1F 21 7E 7F 80 FF 41 7A 30    Hallo...!~...Az0\n"
                  "\n");
}

TEST_F(DebugLogTest, DumpOfSeventeenBytesPadsTheSecondLine) {
    DebugLog log = OnLog();
    const char data[] = "0123456789ABCDEF ";
    log.Dump("Block", data, 17);
    std::string pads(15 * 3, ' ');
    EXPECT_EQ(LogText(),
              "Block: (Laenge=17)\n" + AddressOf(data) +
                  " 30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46    0123456789ABCDEF\n" +
                  AddressOf(data + 16) + " 20 " + pads + "   .\n\n");
}

TEST_F(DebugLogTest, DumpOfFiveBytesMatchesTheWordExample) {
    DebugLog log = OnLog();
    const char data[] = "Hello";
    log.Dump("Gruss", data, 5);
    EXPECT_EQ(LogText(), "Gruss: (Laenge=5)\n" + AddressOf(data) + " 48 65 6C 6C 6F " +
                             std::string(11 * 3, ' ') + "   Hello\n\n");
}

TEST_F(DebugLogTest, DumpWithoutBytesWritesHeaderAndEmptyLine) {
    DebugLog log = OnLog();
    log.Dump("Leer", "unused", 0);
    log.Dump("Negativ", "unused", -3);
    log.Dump("Ohne Daten", nullptr, 8);
    EXPECT_EQ(LogText(),
              "Leer: (Laenge=0)\n\n"
              "Negativ: (Laenge=-3)\n\n"
              "Ohne Daten: (Laenge=8)\n\n");
}

TEST_F(DebugLogTest, LogInMissingFolderWritesNothingAndGoesOn) {
    WriteConfig("[Parameters]\ndebug=1\n");
    fs::path missing = dir_ / "missing" / "Velo.log";
    DebugLog log;
    log.Init(missing.string(), config_.string());
    ASSERT_TRUE(log.IsOn());
    log.Write("line\n");
    log.Printf("%d\n", 1);
    log.Dump("block", "abc", 3);
    EXPECT_FALSE(fs::exists(missing.parent_path()));
}

TEST_F(DebugLogTest, RelativeLogPathFollowsTheCurrentFolder) {
    DebugLog log = OnLog();
    log.Init("Velo.log", config_.string());
    fs::path previous = fs::current_path();
    fs::current_path(dir_);
    log.Write("hier\n");
    fs::current_path(previous);
    EXPECT_EQ(LogText().substr(24), ":hier\n");
}

TEST_F(DebugLogTest, AppendsToWhatOthersWrote) {
    std::ofstream(log_, std::ios::binary) << "vorher\n";
    DebugLog first = OnLog();
    DebugLog second = OnLog();
    first.Write("eins\n");
    second.Write("zwei\n");
    std::string text = LogText();
    ASSERT_EQ(text.size(), 7 + 2 * 30u) << text;
    EXPECT_EQ(text.substr(0, 7), "vorher\n");
    EXPECT_EQ(text.substr(7 + 24, 6), ":eins\n");
    EXPECT_EQ(text.substr(7 + 30 + 24, 6), ":zwei\n");
}

}  // namespace
