// capisim started as a user starts it from a shell: what it prints for
// --help, and how it refuses a command line it cannot serve.
#include <gtest/gtest.h>

#include <fstream>

#include "capisim_process.h"
#include "child_process.h"

namespace capitest {
namespace {

struct Outcome {
    std::optional<int> status;
    bool ready = false;
    std::string out;
    std::string err;
};

class CapisimCommandLine : public ::testing::Test {
protected:
    Outcome Run(const std::vector<std::string>& args) {
        std::string errFile = dir_.File("stderr" + std::to_string(++runs_));
        Outcome o;
        {
            ChildProcess child(CapisimProcess::Program(), args, {}, "", errFile);
            EXPECT_TRUE(child.Started());
            // A capisim that took the command line prints "ready" and serves
            // until its input ends, which the destructor brings about.
            while (auto line = child.ReadLine(10s)) {
                if (*line != "ready") continue;
                o.ready = true;
                break;
            }
            if (!o.ready) o.status = child.Wait(10s);
            for (const std::string& line : child.Lines()) o.out += line + "\n";
        }
        std::ifstream in(errFile);
        o.err.assign(std::istreambuf_iterator<char>(in), {});
        return o;
    }

    std::string WriteConfig(const std::string& text) {
        std::string path = dir_.File("capisim" + std::to_string(++runs_) + ".ini");
        std::ofstream(path) << text;
        return path;
    }

    TempDir dir_;
    int runs_ = 0;
};

TEST_F(CapisimCommandLine, HelpPrintsTheUsageAndSucceeds) {
    std::vector<std::vector<std::string>> cases = {
        {"--help"},
        {"-h"},
        {"--line", "A:0:5551001", "--help"},
        {"--config", dir_.File("missing.ini"), "-h"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        Outcome o = Run(args);
        EXPECT_FALSE(o.ready);
        EXPECT_EQ(o.status, std::optional<int>(0));
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(o.out.rfind("Aufruf: capisim --line NAME:PORT:NUMMER", 0), 0u) << o.out;
        for (const char* option :
             {"--outside-prefix", "--rate", "--delay", "--ring-time", "--call-log", "--sms-centre",
              "--sms-log", "--config", "--help", "quit", "negative/CODE/TEXT", "prompt-silence"}) {
            EXPECT_NE(o.out.find(option), std::string::npos) << option;
        }
    }
}

// Each mistake is named on standard error, with the way to the help, and
// capisim ends before it listens on any port.
TEST_F(CapisimCommandLine, MistakesAreRefusedBeforeListening) {
    std::string sameName =
        WriteConfig("[Line A]\nPort=0\nNumbers=5551001\n[Line A]\nPort=0\nNumbers=5551002\n");
    std::string sameNumber =
        WriteConfig("[Line A]\nPort=0\nNumbers=5551001\n[Line B]\nPort=0\nNumbers=5551001\n");
    std::string badCentre =
        WriteConfig("[Line A]\nPort=0\nNumbers=5551001\n[Numbers]\n5558002=sms-emi negative/2/x\n");
    std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "keine Leitung angegeben"},
        {{"--line"}, "der Option --line fehlt ihr Wert, richtig ist --line NAME:PORT:NUMMER"},
        {{"--line", "A:0:5551001", "--rate"}, "der Option --rate fehlt ihr Wert"},
        {{"--line", "A:0:5551001", "--verbose", "1"}, "unbekannte Option \"--verbose\""},
        {{"--line", "A:0:5551001", "--line", "A:0:5551002"},
         "die Leitung \"A\" ist mit --line zweimal"},
        {{"--line", "A:0:5551001", "--line", "B:0:5552001,5551001"},
         "die Rufnummer 5551001 gehört zu den Leitungen \"A\" und \"B\""},
        {{"--config", sameName}, "[Line A] steht zweimal in der Profildatei"},
        {{"--config", sameNumber}, "die Rufnummer 5551001 gehört zu den Leitungen \"A\" und \"B\""},
        {{"--line", "A:0:5551001", "--sms-centre", "5558001=sms-emi nak"},
         "--sms-centre 5558001=sms-emi nak: der Fehler \"nak\" passt nicht zu sms-emi"},
        {{"--line", "A:0:5551001", "--sms-centre", "5558001=sms-tap", "--sms-centre",
          "5558001=sms-emi"},
         "die SMS-Zentrale 5558001 ist mit --sms-centre zweimal angegeben"},
        {{"--line", "A:0:5551001", "--sms-centre", "5551001=sms-tap"},
         "die Rufnummer 5551001 gehört zur Leitung \"A\" und kann nicht zugleich SMS-Zentrale "
         "sein"},
        {{"--config", badCentre}, "[Numbers] 5558002=sms-emi negative/2/x: der Fehler"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        Outcome o = Run(args);
        EXPECT_FALSE(o.ready) << "capisim took the command line";
        EXPECT_EQ(o.status, std::optional<int>(2));
        EXPECT_EQ(o.out, "") << "nothing on standard output, no line reported";
        EXPECT_EQ(o.err.rfind("capisim: " + message, 0), 0u) << o.err;
        EXPECT_NE(o.err.find("Mehr dazu: capisim --help"), std::string::npos) << o.err;
    }
}

TEST_F(CapisimCommandLine, MessageLogThatCannotBeWrittenEndsWithStatus1) {
    Outcome o = Run({"--line", "A:0:5551001", "--sms-centre", "5558001=sms-tap", "--sms-log",
                     dir_.File("missing/sms.jsonl")});
    EXPECT_FALSE(o.ready);
    EXPECT_EQ(o.status, std::optional<int>(1));
    EXPECT_EQ(o.err, "capisim: SMS-Protokoll \"" + dir_.File("missing/sms.jsonl") +
                         "\" kann nicht geschrieben werden\n");
}

}  // namespace
}  // namespace capitest
