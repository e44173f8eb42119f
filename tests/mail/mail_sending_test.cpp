// E-mail notes as a user sends them with telvora: through the e-mail server
// profile of Telvora.cfg to a real SMTP server, with the dial-up connection
// of a stand-in nmcli where the profile asks for one.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "capisim_process.h"
#include "mail_test_support.h"
#include "quorlin_test_support.h"

namespace {

using mailtest::MailRecord;
using mailtest::SmtpTestServer;

std::string LfLineEnds(std::string text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    return text;
}

class MailSendingTest : public testing::Test {
protected:
    MailSendingTest() {
        env_ = CallerEnvironment(dir_.Path(), "A", 0);
        std::filesystem::create_directories(dir_.File("A/bin"));
        mailtest::WriteStandInNmcli(dir_.File("A/bin"));
        WriteFile(dir_.File("A/profiles"), "T-Online DSL\n");
        WriteFile(dir_.File("A/active"), "");
        env_["PATH"] = dir_.File("A/bin") + ":" + (getenv("PATH") ? getenv("PATH") : "");
    }

    // An e-mail server profile (id 3) on port of the loopback address.
    void Configure(int port, const std::string& mode = "0", const std::string& account = "") {
        WriteFile(File("Telvora.cfg"),
                  "[EmailServer]\nprofile=3\n[RelayProfiles]\nItems=1\n"
                  "item-001=3|1|Büro|127.0.0.1:" +
                      std::to_string(port) + "|anna@example.de|||T-Online DSL|" + mode + "\n" +
                      account);
    }
    std::string File(const std::string& name) const { return dir_.File("A/install/" + name); }

    struct Run {
        int status = -1;
        std::vector<std::string> lines;
        std::string Text() const {
            std::string all;
            for (const std::string& l : lines) all += l + "\n";
            return all;
        }
    };
    Run Telvora(const std::vector<std::string>& args) {
        ChildProcess child(TELVORA_PATH, args, env_, dir_.File("A"), File("stderr.txt"));
        Run run;
        run.status = child.Wait(60s).value_or(-1);
        run.lines = child.Lines();
        return run;
    }
    std::string NewMail(const std::string& address, const std::string& name,
                        const std::string& subject, const std::string& text,
                        const std::string& cc = "") {
        std::vector<std::string> args = {"new", "--email", address};
        if (!cc.empty()) args.insert(args.end(), {"--cc", cc});
        args.insert(args.end(), {name, subject, "--text", text});
        Run run = Telvora(args);
        EXPECT_EQ(run.status, 0) << ReadFile(File("stderr.txt"));
        return run.lines.empty() ? "" : run.lines[0];
    }
    std::string Listing(const char* folder) { return Telvora({"list", folder}).Text(); }
    std::string Calls() const { return ReadFile(dir_.File("A/calls")); }

    capitest::TempDir dir_;
    std::map<std::string, std::string> env_;
};

TEST_F(MailSendingTest, ANoteArrivesAsTheUserWroteItAndMovesToOutNotes) {
    SmtpTestServer server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    Configure(server.Port());
    std::string text = "Hallo Bernd,\n\n.Punkt am Anfang\n=3D bleibt so\nGrüße, Anna\n";
    std::string id = NewMail("bernd@example.org", "Bernd Berg", "Grüße aus Köln", text,
                             "carla@example.org; Dora <dora@example.org>");
    Run run = Telvora({"send", id});
    ASSERT_EQ(run.status, 0) << run.Text() << ReadFile(File("stderr.txt"));
    EXPECT_EQ(run.Text(),
              "Verbindungsaufbau (127.0.0.1:" + std::to_string(server.Port()) +
                  ") ...\n"
                  "EMail an Bernd Berg <bernd@example.org> senden...\n"
                  "EMail an Bernd Berg <bernd@example.org> wurde gesendet!\n"
                  "Email wurde gesendet!\n");
    std::vector<MailRecord> mails = server.Messages(1);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].Text("mail_from"), "anna@example.de");
    EXPECT_EQ(mails[0].List("rcpt_tos"),
              (std::vector<std::string>{"bernd@example.org", "carla@example.org",
                                        "dora@example.org"}));
    EXPECT_EQ(mails[0].List("to"), std::vector<std::string>{"Bernd Berg|bernd@example.org"});
    EXPECT_EQ(mails[0].List("cc"),
              (std::vector<std::string>{"|carla@example.org", "Dora|dora@example.org"}));
    EXPECT_EQ(mails[0].Text("subject"), "Grüße aus Köln");
    EXPECT_EQ(LfLineEnds(mails[0].Text("body")), text);
    EXPECT_TRUE(Calls().empty()) << "a local network dials nothing";
    EXPECT_NE(Listing("OutNotes").find(id), std::string::npos);
    EXPECT_EQ(Listing("SendNotes").find(id), std::string::npos);
}

TEST_F(MailSendingTest, AnUnknownNameIsAddressedByTheBareAddress) {
    SmtpTestServer server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    Configure(server.Port());
    ASSERT_EQ(Telvora({"send", NewMail("bernd@example.org", "", "---", "x")}).status, 0);
    std::vector<MailRecord> mails = server.Messages(1);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].List("to"), std::vector<std::string>{"|bernd@example.org"});
}

TEST_F(MailSendingTest, RefusalsSilenceAndAMissingProfileFailAndKeepTheNote) {
    std::string id = NewMail("bernd@example.org", "Bernd", "Test", "Text");
    // No e-mail server profile at all.
    WriteFile(File("Telvora.cfg"), "[EmailServer]\nprofile=3\n");
    Run none = Telvora({"send", id});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(ReadFile(File("stderr.txt")).find("Email-Profile kann nicht ausgewählt werden!"),
              std::string::npos);

    SmtpTestServer refusing({"--reply", "RCPT=550 5.1.1 Unbekannter Empfaenger"});
    ASSERT_TRUE(refusing.Started()) << refusing.ErrorOutput();
    Configure(refusing.Port());
    Run refused = Telvora({"send", id});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.Text().find("Email konnte nicht gesendet werden!.\nError: "),
              std::string::npos)
        << refused.Text();
    EXPECT_NE(refused.Text().find("550 5.1.1 Unbekannter Empfaenger"), std::string::npos);
    EXPECT_EQ(refused.lines.back(), "Email konnte nicht gesendet werden!");

    SmtpTestServer silent({"--silent", "DATA"});
    ASSERT_TRUE(silent.Started()) << silent.ErrorOutput();
    Configure(silent.Port());
    auto start = std::chrono::steady_clock::now();
    Run timedOut = Telvora({"send", id, "--reply-timeout", "1000"});
    EXPECT_EQ(timedOut.status, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_NE(timedOut.Text().find("Email konnte nicht gesendet werden!.\nError: "),
              std::string::npos);

    EXPECT_NE(Listing("SendNotes").find(id), std::string::npos);
    EXPECT_TRUE(refusing.Messages().empty());
}

TEST_F(MailSendingTest, TheProfilesConnectionModeDialsAndHangsUpThroughNetworkManager) {
    SmtpTestServer server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    // 16: dial-up chosen, neither box ticked: nothing is dialled or hung up.
    Configure(server.Port(), "16");
    ASSERT_EQ(Telvora({"send", NewMail("b@example.org", "B", "16", "x")}).status, 0);
    EXPECT_TRUE(Calls().empty()) << Calls();
    // 19: dial first, hang up afterwards.
    Configure(server.Port(), "19");
    Run run = Telvora({"send", NewMail("b@example.org", "B", "19", "x")});
    ASSERT_EQ(run.status, 0) << run.Text();
    EXPECT_EQ(run.lines[0], "Internet Verbindung über 'T-Online DSL' herstellen...");
    EXPECT_NE(Calls().find("[connection][up][id][T-Online DSL]"), std::string::npos) << Calls();
    EXPECT_NE(Calls().find("[connection][down][id][T-Online DSL]"), std::string::npos);
    EXPECT_NE(run.Text().find("Verbindungsabbau...\n"), std::string::npos);
    // A failing nmcli: its words in the designed message, nothing sent.
    WriteFile(dir_.File("A/up.error"),
              "Error: Connection activation failed: No suitable device found.\n");
    WriteFile(dir_.File("A/up.status"), "4");
    Run failed = Telvora({"send", NewMail("b@example.org", "B", "fail", "x")});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.Text().find("RAS-Verbindung 'T-Online DSL' fehlgeschlagen. Error: "
                                 "'Error: Connection activation failed: No suitable device "
                                 "found.'"),
              std::string::npos)
        << failed.Text();
    EXPECT_EQ(server.Messages(2).size(), 2u);
}

TEST_F(MailSendingTest, StartTlsWithLogonFromTheProfilesAccount) {
    const auto& certs = mailtest::TestCertificates();
    SmtpTestServer server({"--starttls", "--cert", certs.serverCert, "--key", certs.serverKey,
                           "--auth", "anna:geheim 123"});
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    std::string account = "[EmailAccount_3]\nsecurity=1\nuser=anna\ncaFile=" + certs.ca + "\n";
    Configure(server.Port(), "0", account + "password=falsch\n");
    std::string id = NewMail("b@example.org", "B", "geheim", "x");
    Run refused = Telvora({"send", id});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.Text().find("535"), std::string::npos) << refused.Text();
    Configure(server.Port(), "0", account + "password=geheim 123\n");
    Run run = Telvora({"send", id});
    ASSERT_EQ(run.status, 0) << run.Text();
    std::vector<MailRecord> mails = server.Messages(1);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].Text("login"), "anna");
    EXPECT_EQ(ReadFile(File("Velo.log")).find("geheim 123"), std::string::npos);
}

// telvora killed or hung up on while the server has not answered the
// message yet, and while it hangs up after the server took it: the note is
// in SendNotes or OutNotes, once, and in OutNotes only when it arrived.
TEST_F(MailSendingTest, AKilledSendLeavesTheNoteWhereItBelongs) {
    SmtpTestServer slowEnd({"--delay", "END=30"});
    SmtpTestServer server;
    ASSERT_TRUE(slowEnd.Started() && server.Started());
    for (int signal : {SIGKILL, SIGHUP}) {
        // Before the server's answer to the message.
        Configure(slowEnd.Port());
        std::string waiting = NewMail("b@example.org", "B", "wartet", "x");
        {
            ChildProcess child(TELVORA_PATH, {"send", waiting}, env_, dir_.File("A"),
                               File("stderr.txt"));
            ASSERT_TRUE(child.WaitForLine("EMail an B <b@example.org> senden...", 20s));
            child.Signal(signal);
            ASSERT_EQ(child.Wait(10s), 128 + signal);
        }
        EXPECT_NE(Listing("SendNotes").find(waiting), std::string::npos);
        EXPECT_EQ(Listing("OutNotes").find(waiting), std::string::npos);

        // After the server took it, while the line is taken down.
        Configure(server.Port(), "19");
        WriteFile(dir_.File("A/down.hang"), "");
        std::string sent = NewMail("b@example.org", "B", "gesendet", "x");
        {
            ChildProcess child(TELVORA_PATH, {"send", sent}, env_, dir_.File("A"),
                               File("stderr.txt"));
            ASSERT_TRUE(child.WaitForLine("Verbindungsabbau...", 20s));
            child.Signal(signal);
            ASSERT_EQ(child.Wait(10s), 128 + signal);
        }
        std::filesystem::remove(dir_.File("A/down.hang"));
        EXPECT_NE(Listing("OutNotes").find(sent), std::string::npos);
        EXPECT_EQ(Listing("SendNotes").find(sent), std::string::npos);
    }
}

}  // namespace
