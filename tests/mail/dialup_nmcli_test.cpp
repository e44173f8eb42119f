// CRasConnection against a stand-in nmcli first on PATH: a shell script
// that records each call, one line of bracketed arguments, and answers from
// files the test writes, as NetworkManager's nmcli would.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "debuglog.h"
#include "msgbox_recorder.h"
#include "mail_test_support.h"
#include "ras_connection.h"
#include "test_dir.h"

namespace {

using namespace std::chrono_literals;
using DialClock = std::chrono::steady_clock;

const std::string kShowActive = "[-t][-f][NAME][connection][show][--active]";

class DialupNmcliTest : public testing::Test {
protected:
    DialupNmcliTest() : savedPath_(getenv("PATH") ? getenv("PATH") : "") {
        std::filesystem::create_directory(dir_.File("bin"));
        mailtest::WriteStandInNmcli(dir_.File("bin"));
        dir_.Put("profiles", "Arcor\nT-Online DSL\nVPN\\: Büro\n");
        dir_.Put("active", "");
        dir_.Put("Telvora.cfg", "[Parameters]\ndebug=1\n");
        log_.Init(dir_.File("Velo.log"), dir_.File("Telvora.cfg"));
        setenv("PATH", (dir_.File("bin") + ":" + savedPath_).c_str(), 1);
    }
    ~DialupNmcliTest() override { setenv("PATH", savedPath_.c_str(), 1); }

    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        std::string text = dir_.Get("calls");
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            calls.push_back(text.substr(start, end - start));
        }
        return calls;
    }
    std::string LogLines() const {
        // Each line starts with the time and a colon; keep what follows.
        std::string text = dir_.Get("Velo.log"), lines;
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            std::string line = text.substr(start, end - start);
            lines += line.substr(line.find(':', 20) + 1) + "\n";
        }
        return lines;
    }

    TestDir dir_;
    DebugLog log_;
    std::string savedPath_;
};

TEST_F(DialupNmcliTest, AnActiveProfileIsTakenOverAndLetterCaseCounts) {
    dir_.Put("active", "Arcor\n");
    CRasConnection taken(&log_);
    EXPECT_TRUE(taken.Connect("Arcor"));
    EXPECT_EQ(taken.Entry(), "Arcor");
    EXPECT_EQ(Calls(), (std::vector<std::string>{kShowActive}));
    EXPECT_EQ(LogLines(),
              "++CRasConnection::Connect\n**CRasConnection::Connect : Already connected\n");

    CRasConnection dialled(&log_);
    EXPECT_TRUE(dialled.Connect("ARCOR"));
    EXPECT_EQ(Calls(),
              (std::vector<std::string>{kShowActive, kShowActive, "[connection][up][id][ARCOR]"}));
    EXPECT_NE(LogLines().find("++CRasConnection::Connect\n"
                              "  CRasConnection::Connect : Starting RASDial...\n"
                              "--CRasConnection::Connect\n"),
              std::string::npos)
        << LogLines();

    // Taken over or dialled: whoever holds it hangs it up.
    EXPECT_TRUE(taken.HangUp());
    EXPECT_EQ(dir_.Get("active"), "ARCOR\n");
    EXPECT_EQ(Calls().at(3), "[connection][down][id][Arcor]");
    EXPECT_EQ(Calls().at(4), kShowActive);
    EXPECT_EQ(taken.Entry(), "");
    std::size_t before = Calls().size();
    EXPECT_TRUE(taken.HangUp());
    EXPECT_TRUE(CRasConnection().HangUp());
    EXPECT_EQ(Calls().size(), before);
}

TEST_F(DialupNmcliTest, NamesWithBlanksQuotesAndColonsPassUnharmed) {
    const std::string name = "Büro \"VPN\"; rm -rf x $(echo hi) 'q' a:b\\c";
    CRasConnection ras;
    ASSERT_TRUE(ras.Connect(name)) << ras.ErrorText();
    EXPECT_EQ(Calls().back(), "[connection][up][id][" + name + "]");
    CRasConnection again;
    EXPECT_TRUE(again.Connect(name));
    EXPECT_EQ(Calls().back(), kShowActive);
    EXPECT_TRUE(again.HangUp()) << again.ErrorText();
    EXPECT_EQ(Calls().at(Calls().size() - 2), "[connection][down][id][" + name + "]");
    EXPECT_EQ(dir_.Get("active"), "");

    MessageBoxRecorder boxes;
    std::vector<std::string> names;
    EXPECT_TRUE(CRasConnection::ListEntries(names));
    EXPECT_EQ(names, (std::vector<std::string>{"Arcor", "T-Online DSL", "VPN: Büro"}));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(DialupNmcliTest, FailuresGiveNmclisTextAndNumber) {
    struct Case {
        const char* error;
        const char* status;
        std::string text;
    } cases[] = {
        {"Error: Connection activation failed: No carrier.\nHint: use 'journalctl -xe "
         "NM_CONNECTION=1' for more.\n",
         "4",
         "Error: Connection activation failed: No carrier. Hint: use 'journalctl -xe "
         "NM_CONNECTION=1' for more."},
        {"Fehler: Aktivierung der Verbindung ist gescheitert: Geheimnisse wurden benötigt.\n", "4",
         "Fehler: Aktivierung der Verbindung ist gescheitert: Geheimnisse wurden benötigt."},
        {"", "7", "Unbekannter RAS-Fehler 7"},
    };
    for (const Case& c : cases) {
        dir_.Put("calls", "");
        dir_.Put("up.error", c.error);
        dir_.Put("up.status", c.status);
        CRasConnection ras(&log_);
        EXPECT_FALSE(ras.Connect("Arcor"));
        EXPECT_EQ(ras.LastError(), static_cast<std::uint32_t>(std::atoi(c.status)));
        EXPECT_EQ(ras.ErrorText(), c.text);
        EXPECT_EQ(ras.Entry(), "");
        // A failed start is taken down at once.
        EXPECT_EQ(Calls(), (std::vector<std::string>{kShowActive, "[connection][up][id][Arcor]",
                                                     "[connection][down][id][Arcor]"}));
    }
    EXPECT_NE(LogLines().find("**CRasConnection::Connect : RASDial Error\n"), std::string::npos);

    dir_.Put("show.error", "Error: NetworkManager is not running.\n");
    CRasConnection ras(&log_);
    EXPECT_FALSE(ras.Connect("Arcor"));
    EXPECT_EQ(ras.LastError(), 8u);
    EXPECT_EQ(ras.ErrorText(), "Error: NetworkManager is not running.");
    EXPECT_NE(LogLines().find("**CRasConnection::Connect : Error ocurred\n"), std::string::npos);
}

TEST_F(DialupNmcliTest, SlowNetworkManagerIsBoundedInUpAndDown) {
    dir_.Put("up.hang", "");
    CRasConnection ras;
    ras.SetTimeouts(500ms, 2s, 600ms);
    auto start = DialClock::now();
    EXPECT_FALSE(ras.Connect("Arcor"));
    EXPECT_LT(DialClock::now() - start, 5s);
    EXPECT_EQ(ras.LastError(), CRasConnection::kErrorTimedOut);
    EXPECT_EQ(ras.ErrorText(),
              "NetworkManager hat nicht innerhalb von 1 Sekunde geantwortet; nmcli wurde "
              "abgebrochen.");

    std::filesystem::remove(dir_.File("up.hang"));
    dir_.Put("down.stays", "");
    ASSERT_TRUE(ras.Connect("Arcor"));
    start = DialClock::now();
    EXPECT_FALSE(ras.HangUp());
    auto waited = DialClock::now() - start;
    EXPECT_GE(waited, 600ms);
    EXPECT_LT(waited, 5s);
    EXPECT_EQ(ras.LastError(), CRasConnection::kErrorStillActive);
    EXPECT_EQ(ras.ErrorText(), "Die Verbindung 'Arcor' ist nach 1 Sekunde noch aktiv.");
}

TEST_F(DialupNmcliTest, WithoutNmcliTheUserIsToldSo) {
    setenv("PATH", dir_.Path().c_str(), 1);
    CRasConnection ras;
    EXPECT_FALSE(ras.Connect("Arcor"));
    EXPECT_EQ(ras.LastError(), CRasConnection::kErrorNotInstalled);
    EXPECT_EQ(ras.ErrorText().rfind("NetworkManager (nmcli) ist nicht installiert", 0), 0u);

    MessageBoxRecorder boxes;
    std::vector<std::string> names{"old"};
    EXPECT_FALSE(CRasConnection::ListEntries(names));
    EXPECT_TRUE(names.empty());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, ras.ErrorText());
    EXPECT_EQ(boxes.Calls()[0].type, MB_OK | MB_ICONSTOP);
    EXPECT_TRUE(Calls().empty());
}

}  // namespace
