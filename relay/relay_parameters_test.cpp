#include "relay_parameters.h"

#include <gtest/gtest.h>

#include "relay_message.h"
#include "test_dir.h"

namespace {

class RelayParametersTest : public testing::Test {
protected:
    RelayParameters Parameters(const std::string& section) {
        dir_.Put("relay.par", "[RelayParameters]\n" + section);
        return RelayParameters(dir_.File("relay.par"));
    }
    TestDir dir_;
};

TEST_F(RelayParametersTest, TriesAndDelayCountAtLeastOne) {
    struct Case {
        const char* keys;
        int tries;
        long pauseMs;
    } cases[] = {
        {"", 3, 1000},
        {"tries=0\n", 1, 1000},
        {"tries=-2\ndelay=-5\n", 1, 1000},
        {"tries=2\ndelay=10\n", 2, 10000},
        {"tries=viele\ndelay=bald\n", 1, 1000},
        {"tries=\ndelay=\n", 1, 1000},
        {"tries= 4x\ndelay=+3 s\n", 4, 3000},
    };
    for (const Case& c : cases) {
        RelayParameters p = Parameters(c.keys);
        EXPECT_EQ(p.Tries(), c.tries) << c.keys;
        EXPECT_EQ(p.Pause().count(), c.pauseMs) << c.keys;
    }
}

TEST_F(RelayParametersTest, ValuesAreCutToTheirLengthInCharacters) {
    std::string id(100, '7'), path(300, 'p'), umlauts;
    for (int i = 0; i < 300; ++i) umlauts += "ä";
    RelayParameters p =
        Parameters("noteId=" + id + "\nMessage=" + path + "\nSubject=" + umlauts + "\n");
    EXPECT_EQ(p.Read(relay_key::kNoteId), id.substr(0, 79));
    EXPECT_EQ(p.Read(relay_key::kMessage), path.substr(0, 259));
    EXPECT_EQ(p.Read(relay_key::kSubject), umlauts.substr(0, 255 * 2));
    EXPECT_EQ(p.Read(relay_key::kPort), "25");
    EXPECT_EQ(p.Read(relay_key::kCallerPhoneNumber), "0");
    EXPECT_EQ(p.Operation(), 0);
}

TEST_F(RelayParametersTest, AFailureIsOneLineWithTheTimeItEnded) {
    RelayParameters p = Parameters("operation=1\n");
    p.Begin();
    std::string started = dir_.Get("relay.par");
    EXPECT_NE(started.find("[RelayResults]\nStarted="), std::string::npos) << started;
    EXPECT_NE(started.find("\nFinished=\nLastError=\n"), std::string::npos) << started;
    p.Fail("550 no such user\r\n");
    EXPECT_EQ(p.LastError(), "550 no such user");
    p.Fail("zwei\r\nZeilen\x01 \xe4 " + std::string(200, 'x'));
    EXPECT_EQ(p.LastError(), "zwei  Zeilen  ä " + std::string(127 - 16, 'x'));
    EXPECT_EQ(dir_.Get("relay.par").find("Finished=\n"), std::string::npos);
}

TEST_F(RelayParametersTest, WithoutAConfigurationNameTheInstallationsOneIsUsed) {
    setenv("TELVORA_HOME", dir_.Path().c_str(), 1);
    EXPECT_EQ(Parameters("").ConfigFile(), dir_.File("Telvora.cfg"));
    EXPECT_EQ(Parameters("configFileName=/x/T.cfg\n").ConfigFile(), "/x/T.cfg");
    unsetenv("TELVORA_HOME");
}

TEST_F(RelayParametersTest, TheMessageIsReadWholeWithCrLfAsLf) {
    dir_.Put("msg.txt", "Zeile 1\r\nZeile 2\r\n\r\nnur CR\rbleibt\r\nEnde");
    RelayParameters p = Parameters("Message=" + dir_.File("msg.txt") + "\n");
    EXPECT_EQ(ReadMessageText(p), "Zeile 1\nZeile 2\n\nnur CR\rbleibt\nEnde");

    dir_.Put("empty.txt", "");
    EXPECT_EQ(ReadMessageText(Parameters("Message=" + dir_.File("empty.txt") + "\n")), "");

    RelayParameters missing = Parameters("Message=" + dir_.File("nicht.txt") + "\n");
    EXPECT_FALSE(ReadMessageText(missing));
    EXPECT_EQ(missing.LastError(), "cannot find message file: " + dir_.File("nicht.txt"));

    RelayParameters folder = Parameters("Message=" + dir_.Path() + "\n");
    EXPECT_FALSE(ReadMessageText(folder));
    EXPECT_EQ(folder.LastError(), "cannot open message file: " + dir_.Path());
}

}  // namespace
