#include "relay_program.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "platform.h"
#include "profile.h"
#include "scripted_smtp_peer.h"
#include "test_dir.h"

namespace {

using namespace std::chrono_literals;

// A relay run in this process: the pauses are counted, not slept, and the
// link library is a stand-in.
class RelayProgramTest : public testing::Test {
protected:
    void SetUp() override {
        dir_.Put("Telvora.cfg", "[Parameters]\ndebug=0\n");
        dir_.Put("message.txt", "Hallo\r\nWelt");
        relay_.SetPause([this](std::chrono::milliseconds p) { pauses_.push_back(p.count()); });
        relay_.SetLink(
            [this] {
                ++linkStarts_;
                return linkWorks_;
            },
            [this] { ++linkStops_; });
    }

    // A parameter file as velo writes it, with the given keys added; the
    // first of two equal keys counts, so they can replace velo's.
    void Parameters(const std::string& keys) {
        dir_.Put("relay.par", "[RelayParameters]\n" + keys + "configFileName=" + Cfg() +
                                  "\nnoteId=9\nlogFile=1\nlogFileName=" + dir_.File("Relay.log") +
                                  "\nMessage=" + dir_.File("message.txt") + "\n");
    }
    int Run() { return relay_.Run({"-f:" + dir_.File("relay.par")}); }

    std::string Cfg() const { return dir_.File("Telvora.cfg"); }
    std::string Value(const char* section, const char* key) const {
        char buf[512];
        GetPrivateProfileString(section, key, "(none)", buf, sizeof buf, Cfg().c_str());
        return buf;
    }
    // The relay log's lines without their time.
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::istringstream in(dir_.Get("Relay.log"));
        for (std::string line; std::getline(in, line);) lines.push_back(line.substr(25));
        return lines;
    }
    bool Exists(const char* name) const { return std::filesystem::exists(dir_.File(name)); }

    TestDir dir_;
    std::ostringstream out_;
    RelayProgram relay_{out_};
    std::vector<long> pauses_;
    int linkStarts_ = 0, linkStops_ = 0;
    bool linkWorks_ = true;
};

TEST_F(RelayProgramTest, WithoutAParameterFileTheUsageIsPrinted) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{}, {"-x", "-f:"}, {"relay.par"}}) {
        std::ostringstream out;
        RelayProgram relay(out);
        EXPECT_EQ(relay.Run(args), 1);
        EXPECT_EQ(out.str(), "Usage: RelayNote -f:paramter-file\n");
    }
    EXPECT_EQ(ParameterFileOf({"-f:a.par", "other", "-f:b.par"}), "b.par");
}

TEST_F(RelayProgramTest, HelpIsAskedForOnlyWithoutAParameterFile) {
    for (const char* help : {"--help", "-h"}) {
        std::ostringstream out;
        RelayProgram relay(out);
        EXPECT_EQ(relay.Run({help}), 0);
        EXPECT_EQ(out.str(), kRelayHelp);
        EXPECT_EQ(out.str().rfind("Aufruf: relay -f:PARAMETERDATEI\n", 0), 0u);
    }
    // With a parameter file the run is the one velo asked for.
    Parameters("operation=2\ntries=0\nrelayFile=" + dir_.File("notes.txt") + "\n");
    EXPECT_EQ(relay_.Run({"--help", "-f:" + dir_.File("relay.par")}), 0);
    EXPECT_EQ(out_.str(), "");
    EXPECT_TRUE(Exists("notes.txt"));
    EXPECT_EQ(Value("RelayResults", "RelayedItems"), "9");
}

TEST_F(RelayProgramTest, AMissingParameterFileIsReportedAndNothingWritten) {
    EXPECT_EQ(relay_.Run({"-f:" + dir_.File("gone.par")}), 0);
    EXPECT_EQ(out_.str(), "RelayNote: file " + dir_.File("gone.par") + " not found\n");
    EXPECT_FALSE(Exists("gone.par"));
    EXPECT_EQ(dir_.Get("Telvora.cfg"), "[Parameters]\ndebug=0\n");
    EXPECT_TRUE(pauses_.empty());
    EXPECT_EQ(linkStarts_, 0);
}

TEST_F(RelayProgramTest, AnOperationWithoutActionFailsEveryTry) {
    struct Case {
        int code;
        std::string line;
    } cases[] = {
        {6, "PrintNote: FEHLER: Funktion nicht implementiert [] nach 3 Versuch(en)"},
        {8, "MS-ExchNote: FEHLER: Funktion nicht implementiert [] nach 3 Versuch(en)"},
        {42, "Unbekannte Funktion: FEHLER: Funktion nicht implementiert [] nach 3 Versuch(en)"},
    };
    for (const Case& c : cases) {
        pauses_.clear();
        std::filesystem::remove(dir_.File("Relay.log"));
        Parameters("operation=" + std::to_string(c.code) + "\n");
        EXPECT_EQ(Run(), 0);
        EXPECT_EQ(pauses_, (std::vector<long>{1000, 1000, 1000})) << c.code;
        EXPECT_EQ(LogLines(), std::vector<std::string>{c.line});
        EXPECT_EQ(Value("RelayFailures", "9"), c.line);
    }
    EXPECT_EQ(Value("RelayResults", "RelayedItems"), "(none)");
    EXPECT_EQ(linkStarts_, 0);
    EXPECT_EQ(out_.str(), "");
}

TEST_F(RelayProgramTest, ANoteAppendedToAFileIsRecordedAsRelayed) {
    dir_.Put("Telvora.cfg", "[RelayResults]\nRelayedItems=4\n[RelayFailures]\n9=SaveNote: alt\n");
    Parameters("operation=2\ntries=0\nrelayFile=" + dir_.File("notes.txt") + "\n");
    std::time_t before = std::time(nullptr);
    EXPECT_EQ(Run(), 0);
    std::time_t after = std::time(nullptr);
    EXPECT_EQ(pauses_, std::vector<long>{1000});
    std::string appended = dir_.Get("notes.txt");
    ASSERT_EQ(appended.size(), 6u + 24 + 1 + 10);
    EXPECT_EQ(appended.substr(0, 6), "\n>>>> ");
    std::string when = appended.substr(6, 24);
    EXPECT_TRUE(when == CTimeText(before) || when == CTimeText(after)) << when;
    EXPECT_EQ(appended.substr(30), "\nHallo\nWelt");
    EXPECT_EQ(LogLines(), std::vector<std::string>{
                              "SaveNote: Notiz wurde in Datei angehängt nach 1 Versuch(en)."});
    EXPECT_EQ(Value("RelayResults", "RelayedItems"), "4,9");
    EXPECT_EQ(Value("RelayFailures", "9"), "(none)");
    // The run is over and on record: its files go.
    EXPECT_FALSE(Exists("relay.par"));
    EXPECT_FALSE(Exists("message.txt"));

    dir_.Put("Telvora.cfg", "");
    dir_.Put("message.txt", "x");
    Parameters("operation=2\nrelayFile=" + dir_.File("notes.txt") + "\n");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Value("RelayResults", "RelayedItems"), "9");
}

TEST_F(RelayProgramTest, AFailureEndsInLastErrorTheLogAndTheFailures) {
    Parameters("operation=2\ntries=2\ndelay=3\nrelayFile=" + dir_.File("no/such/folder.txt") +
               "\n");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(pauses_, (std::vector<long>{3000, 3000}));
    std::string line =
        "SaveNote: FEHLER: Notiz konnte nicht in Datei angehängt werden! "
        "[cannot open relay file] nach 2 Versuch(en)";
    EXPECT_EQ(LogLines(), std::vector<std::string>{line});
    EXPECT_EQ(Value("RelayFailures", "9"), line);
    EXPECT_EQ(Value("RelayResults", "RelayedItems"), "(none)");

    dir_.Put("message.txt", "x");
    Parameters("operation=2\nrelayFile=" + dir_.File("notes.txt") + "\n");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Value("RelayFailures", "9"), "(none)") << "a later success clears the failure";
}

TEST_F(RelayProgramTest, TheParameterFileRecordsTheRun) {
    dir_.Put("Telvora.cfg", "[Parameters]\ndebug=1\n");
    Parameters("operation=2\ntries=1\nrelayFile=" + dir_.File("no/such/folder.txt") + "\n");
    std::string cwd = std::filesystem::current_path();
    ASSERT_EQ(chdir(dir_.Path().c_str()), 0);
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(chdir(cwd.c_str()), 0);
    // With debugging on, both files stay for a look.
    ASSERT_TRUE(Exists("message.txt"));
    std::string results = dir_.Get("relay.par");
    EXPECT_NE(results.find("[RelayResults]\nStarted="), std::string::npos) << results;
    EXPECT_NE(results.find("\nLastError=cannot open relay file\n"), std::string::npos) << results;
    EXPECT_EQ(results.find("Finished=\n"), std::string::npos) << results;
    std::string debug = dir_.Get("RelayDebug.log");
    for (const char* line : {":++RELAY\n", ":++IN_SERVICE_FILE\n", ":--RELAY\n"}) {
        EXPECT_NE(debug.find(line), std::string::npos) << line << debug;
    }
}

TEST_F(RelayProgramTest, TheConfigurationIsNeverRemovedAsARunFile) {
    // A parameter file in the configuration's place, as velo's fallback
    // names could make it.
    dir_.Put("Telvora.cfg", "[RelayParameters]\nconfigFileName=" + Cfg() +
                                "\noperation=2\nnoteId=3\nrelayFile=" + dir_.File("notes.txt") +
                                "\nMessage=" + Cfg() + "\n");
    EXPECT_EQ(relay_.Run({"-f:" + Cfg()}), 0);
    EXPECT_TRUE(Exists("Telvora.cfg"));
    EXPECT_EQ(Value("RelayResults", "RelayedItems"), "3");
}

TEST_F(RelayProgramTest, AnOutcomeThatCannotBeWrittenKeepsTheRunFiles) {
    for (const char* keys : {"noteId=x\n", "configFileName=/no/such/folder/Telvora.cfg\n"}) {
        Parameters(std::string(keys) + "operation=2\nrelayFile=" + dir_.File("notes.txt") + "\n");
        EXPECT_EQ(Run(), 0);
        EXPECT_TRUE(Exists("relay.par")) << keys;
        EXPECT_TRUE(Exists("message.txt")) << keys;
    }
    EXPECT_EQ(Value("RelayResults", "RelayedItems"), "(none)");
}

TEST_F(RelayProgramTest, TheLinkLibraryIsStartedForAnSmsOnly) {
    dir_.Put("Telvora.cfg", "");
    Parameters("operation=2\nrelayFile=" + dir_.File("notes.txt") + "\n");
    Run();
    EXPECT_EQ(linkStarts_, 0);

    linkWorks_ = false;
    size_t pauses = pauses_.size();
    Parameters("operation=3\n");
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(out_.str(), "RelayNote: Link-DLL kann nicht initialiert werden\n");
    EXPECT_EQ(linkStarts_, 1);
    EXPECT_EQ(linkStops_, 0);
    EXPECT_EQ(pauses_.size(), pauses) << "no attempt without the link";
    EXPECT_EQ(Value("RelayFailures", "9"),
              "D1-SMS: FEHLER: Notiz konnte nicht als SMS-Nachricht gesendet werden! "
              "[Link-DLL kann nicht initialiert werden] nach 0 Versuch(en)");
}

// Refusals of a real server are tried end to end; a server that is not
// there at all is said in the relay's own words.
TEST_F(RelayProgramTest, AMailServerThatIsNotThereIsNamed) {
    int port;
    {
        ScriptedSmtpPeer gone;
        port = gone.Port();
    }
    Parameters("operation=1\ntries=1\nHost=127.0.0.1\nPort=" + std::to_string(port) +
               "\nFrom=a@example.org\nTo=b@example.org\n");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Value("RelayFailures", "9"),
              "MailNote: FEHLER: Notiz konnte nicht als Email weitergeleitet werden! "
              "[Could not connect to: 127.0.0.1:" +
                  std::to_string(port) + "] nach 1 Versuch(en)");
    EXPECT_EQ(linkStarts_, 0);
}

}  // namespace
