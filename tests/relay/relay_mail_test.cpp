// relay forwarding notes by e-mail to a real SMTP server (aiosmtpd), as
// velo starts it: what arrives, what a refusal leaves behind, and a relay
// killed while the server holds back its answer.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>

#include "mail_test_support.h"
#include "profile.h"
#include "relay_station.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string LfLineEnds(std::string text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    return text;
}

class RelayMailTest : public testing::Test {
protected:
    // The keys of an e-mail relay profile; the first of two equal keys
    // counts, so extra can replace any of them.
    std::string MailKeys(const mailtest::SmtpTestServer& server, const std::string& extra = "") {
        return extra + "operation=1\nHost=127.0.0.1\nPort=" + std::to_string(server.Port()) +
               "\nFrom=telvora@example.org\nTo=empfaenger@example.org\n";
    }
    void DebugOn() { std::ofstream(station_.ConfigFile()) << "[Parameters]\ndebug=1\n"; }

    capitest::TempDir dir_;
    RelayStation station_{dir_.Path(), "A"};
};

TEST_F(RelayMailTest, TheMailArrivesAsTheNoteWasWritten) {
    mailtest::SmtpTestServer server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    const std::string text = "Grüße aus Köln!\nPreis: 5.00 € = viel\n.\nZeile mit Blank \n\n" +
                             std::string(100, '=') + "\nEnde ohne Zeilenende";
    const std::string subject = "Rückruf von Jörg – dringend";
    // No ISDN line at all on this station: mail does not need one.
    station_.Environment()["TELVORA_CAPI_LIBRARY"] = dir_.File("no-such-libcapi20.so");
    std::string parameters = station_.Prepare(
        5, text,
        MailKeys(server,
                 "To=a@example.org,b@example.org\nCc=c@example.org\nSubject=" + subject + "\n"));
    RelayRunResult run = station_.Run(parameters);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.lines.empty());
    EXPECT_EQ(run.errors, "");

    auto mails = server.Messages(1);
    ASSERT_EQ(mails.size(), 1u) << server.ErrorOutput();
    const mailtest::MailRecord& mail = mails[0];
    EXPECT_EQ(mail.Text("mail_from"), "telvora@example.org");
    EXPECT_EQ(mail.List("rcpt_tos"),
              (std::vector<std::string>{"a@example.org", "b@example.org", "c@example.org"}));
    EXPECT_EQ(mail.Text("subject"), subject);
    EXPECT_EQ(mail.Text("charset"), "windows-1252");
    EXPECT_EQ(LfLineEnds(mail.Text("body")), text);
    EXPECT_TRUE(mail.List("defects").empty());
    std::vector<std::string> head = mail.List("header_lines");
    ASSERT_GE(head.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(head.begin(), head.begin() + 4),
              (std::vector<std::string>{"To: a@example.org", "To: b@example.org",
                                        "Cc: c@example.org", "From: <telvora@example.org>"}));
    EXPECT_EQ(head.back().rfind("Content-Length: ", 0), 0u) << head.back();

    EXPECT_EQ(station_.LogLines(),
              std::vector<std::string>{"MailNote: Notiz wurde als Email weitergeleitet nach 1 "
                                       "Versuch(en)."});
    EXPECT_EQ(station_.Setting("RelayResults", "RelayedItems"), "5");
    EXPECT_FALSE(fs::exists(parameters));
    EXPECT_FALSE(fs::exists(station_.MessageFile(5)));
}

TEST_F(RelayMailTest, ARefusedRecipientFailsEveryTryAndSaysWhy) {
    mailtest::SmtpTestServer server({"--reply", "RCPT=550 no such user"});
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    DebugOn();
    std::string parameters = station_.Prepare(6, "Hallo", MailKeys(server, "tries=2\n"));
    EXPECT_EQ(station_.Run(parameters).status, 0);

    const std::string line =
        "MailNote: FEHLER: Notiz konnte nicht als Email weitergeleitet werden! [550 no such "
        "user] nach 2 Versuch(en)";
    EXPECT_EQ(station_.LogLines(), std::vector<std::string>{line});
    EXPECT_EQ(station_.Setting("RelayFailures", "6"), line);
    EXPECT_EQ(station_.Setting("RelayResults", "RelayedItems"), "(none)");
    // With debugging on the run's files stay, with its results.
    char lastError[256];
    GetPrivateProfileString("RelayResults", "LastError", "", lastError, sizeof lastError,
                            parameters.c_str());
    EXPECT_STREQ(lastError, "550 no such user");
    EXPECT_TRUE(fs::exists(station_.MessageFile(6)));
    std::string debug = FileText(station_.WorkDir() + "/RelayDebug.log");
    EXPECT_NE(debug.find("++IN_SERVICE_WSEMAIL\n"), debug.rfind("++IN_SERVICE_WSEMAIL\n")) << debug;
    EXPECT_TRUE(server.Messages(0, 0ms).empty());
}

TEST_F(RelayMailTest, AServerThatHangsUpIsAFailure) {
    mailtest::SmtpTestServer server({"--close", "DATA"});
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    std::string parameters = station_.Prepare(7, "Hallo", MailKeys(server, "tries=1\n"));
    EXPECT_EQ(station_.Run(parameters).status, 0);
    EXPECT_EQ(station_.Setting("RelayFailures", "7"),
              "MailNote: FEHLER: Notiz konnte nicht als Email weitergeleitet werden! [DATA] nach 1 "
              "Versuch(en)");
    EXPECT_EQ(station_.Setting("RelayResults", "RelayedItems"), "(none)");
}

// Killed or hung up on while the server holds back its answer to the
// message: nothing is recorded as relayed, and the configuration file is
// as it was.
TEST_F(RelayMailTest, AKilledRelayRecordsNothingItWasNotToldOf) {
    mailtest::SmtpTestServer held({"--delay", "END=30"});
    ASSERT_TRUE(held.Started()) << held.ErrorOutput();
    std::string before = FileText(station_.ConfigFile());
    size_t seen = 0;
    for (int signal : {SIGKILL, SIGHUP}) {
        auto relay = station_.Start(station_.Prepare(10 + signal, "Hallo", MailKeys(held)));
        // The server records the message before it holds back the answer.
        ASSERT_EQ(held.Messages(++seen, 20s).size(), seen) << held.ErrorOutput();
        relay->Signal(signal);
        EXPECT_EQ(relay->Wait(10s), 128 + signal);
        EXPECT_EQ(FileText(station_.ConfigFile()), before) << signal;
        EXPECT_TRUE(station_.LogLines().empty());
    }
    mailtest::SmtpTestServer answering;
    ASSERT_TRUE(answering.Started()) << answering.ErrorOutput();
    station_.Run(station_.Prepare(9, "Hallo", MailKeys(answering)));
    EXPECT_EQ(station_.Setting("RelayResults", "RelayedItems"), "9");
}

TEST_F(RelayMailTest, TheDialUpConnectionIsMadeBeforeAndTakenDownAfter) {
    fs::create_directories(dir_.File("nmcli/bin"));
    mailtest::WriteStandInNmcli(dir_.File("nmcli/bin"));
    std::ofstream(dir_.File("nmcli/profiles")) << "Einwahl\n";
    std::ofstream(dir_.File("nmcli/active")) << "";
    const char* path = getenv("PATH");
    station_.Environment()["PATH"] = dir_.File("nmcli/bin") + ":" + (path ? path : "");
    mailtest::SmtpTestServer server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    std::string keys = MailKeys(server, "tries=1\nConnectionMode=19\ndialUpEntry=Einwahl\n");

    station_.Run(station_.Prepare(11, "Hallo", keys));
    EXPECT_EQ(server.Messages(1).size(), 1u);
    EXPECT_EQ(station_.Setting("RelayResults", "RelayedItems"), "11");
    std::string calls = FileText(dir_.File("nmcli/calls"));
    EXPECT_NE(calls.find("[connection][up][id][Einwahl]\n"), std::string::npos) << calls;
    EXPECT_NE(calls.find("[connection][down][id][Einwahl]\n"), std::string::npos) << calls;

    std::ofstream(dir_.File("nmcli/up.error"))
        << "Error: Connection activation failed: No carrier.\n";
    std::ofstream(dir_.File("nmcli/up.status")) << "4";
    station_.Run(station_.Prepare(12, "Hallo", keys));
    EXPECT_EQ(station_.Setting("RelayFailures", "12"),
              "MailNote: FEHLER: Notiz konnte nicht als Email weitergeleitet werden! "
              "[RAS-Verbindung 'Einwahl' fehlgeschlagen (Error: Connection activation failed: No "
              "carrier.)] nach 1 Versuch(en)");
    EXPECT_EQ(server.Messages(0, 0ms).size(), 1u);
}

}  // namespace
