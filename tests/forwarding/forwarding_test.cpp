// Forwarding as a station without a desktop runs it: quorlin on B takes in
// a note and a call while forwarding is on, telvora take --watch hands them
// to relay, relay mails the note and sends the call as SMS, and both end
// in "RelayedNotes" as relayed.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>

#include "capisim_process.h"
#include "mail_test_support.h"
#include "quorlin_test_support.h"

namespace {

constexpr const char* kSmsCentre = "01712521002";

TEST(Forwarding, ANoteByMailAndACallBySmsEndInRelayedNotes) {
    capitest::TempDir dir;
    mailtest::SmtpTestServer smtp;
    ASSERT_TRUE(smtp.Started()) << smtp.ErrorOutput();
    capitest::CapisimProcess capisim;
    ASSERT_TRUE(capisim.Start({"--line", "A:0:02211111", "--line", "B:0:03022222", "--sms-centre",
                               std::string(kSmsCentre) + "=sms-tap", "--sms-log",
                               dir.File("sms.jsonl")}))
        << capisim.Error();

    QuorlinStation b(dir.Path(), "B", capisim.Port("B"), true);
    std::string bInstall = b.InstallDir();
    WriteFile(bInstall + "/Telvora.cfg",
              "[Sender]\nmsn=03022222\n"
              "[Parameters]\nrespMsgID=1\nrespMsg1=respMsg1.txt\n"
              "[RelayNote]\nrelay=1\nprofile=1\ntemplateId=1\nlogFile=1\nlogFilename=" +
                  bInstall + "/Relay.log\n"
                  "[RelayCall]\nrelay=1\nprofile=2\ntemplateId=2\nlogFile=1\nlogFilename=" +
                  bInstall + "/Relay.log\n"
                  "[RelayProfiles]\nItems=2\n"
                  "item-001=1|1|Mail|127.0.0.1:" + std::to_string(smtp.Port()) +
                  "|bernd@station.de|chef@example.org|||0\n"
                  "item-002=2|3|Handy|" + kSmsCentre + "|0170 9999999|0|1||\n"
                  "[TemplateProfiles]\nItems=2\n"
                  "item-001=1|x|Notiz|0|Fwd: %BETREFF%|%NAME%: %TEXT%\n"
                  "item-002=2|x|Anruf|0|Anruf|Anruf von %NUMMER% an %MSN%\n");
    WriteFile(bInstall + "/respMsg1.txt", "Danke.");
    ASSERT_TRUE(b.Start()) << b.Errors();

    // A sends a note to B.
    auto aEnv = CallerEnvironment(dir.Path(), "A", capisim.Port("A"));
    WriteFile(dir.File("A/install/Telvora.cfg"),
              "[Sender]\nname=Anna Alt\ntelephone=0221 1111\nmsn=02211111\n");
    auto telvoraA = [&](const std::vector<std::string>& args) {
        ChildProcess child(TELVORA_PATH, args, aEnv, dir.File("A"), dir.File("A/stderr.txt"));
        EXPECT_EQ(child.Wait(60s), 0) << ReadFile(dir.File("A/stderr.txt"));
        return child.Lines();
    };
    auto created = telvoraA({"new", "030 22222", "Anna Alt", "Grüße", "--text", "Hallo Bernd!"});
    ASSERT_FALSE(created.empty());
    telvoraA({"send", created[0]});

    // B without a desktop: take --watch runs the notify and relay threads.
    auto bEnv = CallerEnvironment(dir.Path(), "B", capisim.Port("B"));
    bEnv["TELVORA_HOME"] = bInstall;
    ChildProcess watch(TELVORA_PATH, {"take", "--watch"}, bEnv, bInstall,
                       dir.File("B/watch.err"));
    ASSERT_TRUE(watch.WaitForLine("RelayedNotes\t", 30s)) << ReadFile(dir.File("B/watch.err"))
                                                           << ReadFile(bInstall + "/Relay.log");
    std::vector<mailtest::MailRecord> mails = smtp.Messages(1);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].Text("subject"), "Fwd: Grüße");
    EXPECT_EQ(mails[0].List("rcpt_tos"), std::vector<std::string>{"chef@example.org"});
    std::string body = mails[0].Text("body");
    EXPECT_EQ(body.substr(0, 21), "Anna Alt: Hallo Bernd") << body;

    // A telephone call on B goes by SMS.
    ASSERT_TRUE(capisim.Command("call 0301234567 03022222 16 1"));
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::ifstream in(dir.File("sms.jsonl"));
            std::string line;
            return static_cast<bool>(std::getline(in, line));
        },
        30s))
        << ReadFile(bInstall + "/Relay.log");
    auto sms = capitest::ParseJsonLine(ReadFile(dir.File("sms.jsonl")).substr(
        0, ReadFile(dir.File("sms.jsonl")).find('\n')));
    ASSERT_TRUE(sms);
    EXPECT_EQ((*sms)["recipient"], "01709999999");
    EXPECT_EQ((*sms)["text"], "Anruf von 0301234567 an 03022222");
    // Both are in RelayedNotes as relayed once the notify side has seen it.
    ASSERT_TRUE(WaitUntil(
        [&] {
            int relayed = 0;
            for (const std::string& l : watch.Lines())
                relayed += l.rfind("RelayedNotes\t", 0) == 0 ? 1 : 0;
            watch.ReadLine(200ms);
            return relayed >= 2;
        },
        20s));
    watch.Signal(SIGTERM);
    EXPECT_EQ(watch.Wait(10s), 0);

    ChildProcess list(TELVORA_PATH, {"list", "RelayedNotes"}, bEnv, bInstall,
                      dir.File("B/list.err"));
    ASSERT_EQ(list.Wait(10s), 0);
    std::string all;
    for (const std::string& l : list.Lines()) all += l + "\n";
    EXPECT_NE(all.find("\tGrüße\tweitergeleitet\n"), std::string::npos) << all;
    EXPECT_NE(all.find("\tAnruf\t"), std::string::npos) << all;
    EXPECT_NE(ReadFile(bInstall + "/Relay.log").find("MailNote: Notiz wurde als Email weitergeleitet"),
              std::string::npos);
    b.Process().Signal(SIGTERM);
    b.Process().Wait(10s);
}

}  // namespace
