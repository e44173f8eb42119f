// SMS notes as a user sends them with telvora: the SMS centres of capisim
// answer, check what arrives and record what they accept.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <set>

#include "capisim_process.h"
#include "profile.h"
#include "quorlin_test_support.h"

namespace {

constexpr const char* kTap = "01712521002";
constexpr const char* kTapNak = "01712521003";
constexpr const char* kTapRs = "01712521004";
constexpr const char* kTapNoPrompt = "01712521005";
constexpr const char* kTapPromptSilence = "01712521006";
constexpr const char* kTapHangUp = "01712521007";
constexpr const char* kTapNakSecond = "01712521008";
constexpr const char* kTapSilent = "01712521009";
constexpr const char* kTapNoLogout = "01712521010";
constexpr const char* kEmi = "01722278020";
constexpr const char* kEmiNegative = "01722278021";
constexpr const char* kBusy = "01800000001";
constexpr const char* kNoAnswer = "01800000002";
constexpr const char* kNobodyListens = "01800000003";

class SmsSendingTest : public testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir_.File("capisim.cfg"),
                  std::string("[Numbers]\n") + kTap + "=sms-tap\n" + kTapNak + "=sms-tap nak\n" +
                      kTapRs + "=sms-tap rs\n" + kTapNoPrompt + "=sms-tap no-prompt\n" +
                      kTapPromptSilence + "=sms-tap prompt-silence\n" + kTapHangUp +
                      "=sms-tap hang-up\n" + kTapNakSecond + "=sms-tap nak@2\n" + kTapSilent +
                      "=sms-tap silence-after-block\n" + kTapNoLogout + "=sms-tap no-logout\n" + kEmi +
                      "=sms-emi\n" + kEmiNegative + "=sms-emi negative/02/Syntaxfehler\n" +
                      kBusy + "=busy\n" + kNoAnswer + "=no-answer\n");
        ASSERT_TRUE(capisim_.Start({"--line", "A:0:02211111", "--line",
                                    std::string("Z:0:") + kNobodyListens, "--outside-prefix",
                                    "A:0", "--ring-time", "1", "--sms-log", SmsLog(), "--config",
                                    dir_.File("capisim.cfg")}))
            << capisim_.Error();
        env_ = CallerEnvironment(dir_.Path(), "A", capisim_.Port("A"));
        Configure(kTap, kEmi);
    }

    void Configure(const std::string& d1Centre, const std::string& d2Centre) {
        WriteFile(File("Telvora.cfg"),
                  "[Sender]\nmsn=02211111\nisdnPrefix=0\n"
                  "[Parameters]\nD1SMSCenter=" + d1Centre + "\nD2SMSCenter=" + d2Centre +
                      "\nD2CallerPhoneNumber=02211111\n");
    }

    std::string SmsLog() const { return dir_.File("sms.jsonl"); }
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
    Run Telvora(std::vector<std::string> args) {
        ChildProcess child(TELVORA_PATH, args, env_, dir_.File("A"), File("stderr.txt"));
        Run run;
        run.status = child.Wait(90s).value_or(-1);
        run.lines = child.Lines();
        return run;
    }
    // Waits for a reply of the centre no longer than two wait steps.
    Run Sms(std::vector<std::string> args) {
        args.insert(args.begin(), "sms");
        args.insert(args.end(), {"--reply-steps", "2"});
        return Telvora(args);
    }
    std::string NewSms(const std::string& number, const std::string& text,
                       const std::string& network = "") {
        std::vector<std::string> args = {"new", "--sms"};
        if (!network.empty()) args.push_back(network);
        args.insert(args.end(), {number, "Bernd", "", "--text", text});
        Run run = Telvora(args);
        EXPECT_EQ(run.status, 0) << ReadFile(File("stderr.txt"));
        return run.lines.empty() ? "" : run.lines[0];
    }
    std::string Listing(const char* folder) { return Telvora({"list", folder}).Text(); }
    std::string Setting(const char* key) {
        char buf[64];
        GetPrivateProfileString("Parameters", key, "0", buf, sizeof buf,
                                File("Telvora.cfg").c_str());
        return buf;
    }
    std::vector<capitest::LogEntry> Accepted() {
        std::vector<capitest::LogEntry> entries;
        std::ifstream in(SmsLog());
        for (std::string line; std::getline(in, line);) {
            if (auto e = capitest::ParseJsonLine(line)) entries.push_back(*e);
        }
        return entries;
    }

    capitest::TempDir dir_;
    capitest::CapisimProcess capisim_;
    std::map<std::string, std::string> env_;
};

TEST_F(SmsSendingTest, TapAndEmiCentresRecordTheTextAsTheUserWroteIt) {
    std::string d1 = NewSms("+49 (170) 000-0000", "Grüße aus Köln: 5 € für §3", "D1");
    Run tap = Sms({d1});
    ASSERT_EQ(tap.status, 0) << tap.Text() << ReadFile(File("stderr.txt"));
    EXPECT_EQ(tap.lines, (std::vector<std::string>{
                             "Verbindungsaufbau zum SMS-Center (001712521002) ...", "Anmelden...",
                             "Sende SMS-Nachricht an 491700000000...", "Abmelden...",
                             "Verbindungsabbau...", "SMS-Nachricht wurde gesendet!",
                             "SMS-Meldung: 211 Message accepted"}));
    std::string d2 = NewSms("0172 1234567", "Übermorgen ÄÖÜ äöü ß");
    Run emi = Sms({d2});
    ASSERT_EQ(emi.status, 0) << emi.Text();
    EXPECT_EQ(emi.lines[2], "Sende D2 SMS-Nachricht an 01721234567...");
    EXPECT_EQ(emi.lines[5], "SMS-Nachricht wurde gesendet!");
    EXPECT_EQ(emi.lines[6].rfind("SMS-Meldung: /01721234567:", 0), 0u) << emi.lines[6];

    auto accepted = Accepted();
    ASSERT_EQ(accepted.size(), 2u);
    EXPECT_EQ(accepted[0]["protocol"], "tap");
    EXPECT_EQ(accepted[0]["centre"], kTap);
    EXPECT_EQ(accepted[0]["recipient"], "491700000000");
    // "€" has no place in the centre's alphabet.
    EXPECT_EQ(accepted[0]["text"], "Grüße aus Köln: 5 . für §3");
    EXPECT_EQ(accepted[1]["protocol"], "emi");
    EXPECT_EQ(accepted[1]["originator"], "02211111");
    EXPECT_EQ(accepted[1]["recipient"], "01721234567");
    EXPECT_EQ(accepted[1]["text"], "Übermorgen ÄÖÜ äöü ß");
    EXPECT_EQ(Setting("smsSent"), "2");
    std::string out = Listing("OutNotes");
    EXPECT_NE(out.find(d1), std::string::npos);
    EXPECT_NE(out.find(d2), std::string::npos);
}

TEST_F(SmsSendingTest, RefusalsOfTheCentreShowItsReplyAndKeepTheNote) {
    struct Case {
        const char* centre;
        bool emi;
        std::string reason;
    } cases[] = {
        {kTapNak, false, "510 Message rejected"},
        {kTapRs, false, "513 Transaction abandoned"},
        {kEmiNegative, true, "02/Syntaxfehler/"},
    };
    for (const Case& c : cases) {
        Configure(c.emi ? kTap : c.centre, c.emi ? c.centre : kEmi);
        std::string id = NewSms(c.emi ? "0172 1" : "0170 1", "abc");
        Run run = Sms({id});
        EXPECT_EQ(run.status, 1) << run.Text();
        EXPECT_NE(run.Text().find("SMS-Nachricht konnte nicht gesendet werden!\nSMS-Meldung: "
                                  "SMS-Nachricht konnte nicht gesendet werden! Grund: [" +
                                  c.reason + "]\n"),
                  std::string::npos)
            << run.Text();
        EXPECT_NE(Listing("SendNotes").find(id), std::string::npos);
    }
    EXPECT_TRUE(Accepted().empty());
    EXPECT_EQ(Setting("smsSent"), "0");
}

TEST_F(SmsSendingTest, ACentreWithoutPromptFailsTheLogonAfterFourTries) {
    Configure(kTapNoPrompt, kEmi);
    // Four prompts of 16 reads each: one wait step per read is enough here.
    Run run = Telvora({"sms", NewSms("0170 1", "abc"), "--reply-steps", "1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.Text().find("SMS-Nachricht konnte nicht gesendet werden!\nSMS-Meldung: Logon "
                              "fehlgeschlagen! Grund: ["),
              std::string::npos)
        << run.Text();
}

TEST_F(SmsSendingTest, APromptThenSilenceStillSendsTheMessage) {
    Configure(kTapPromptSilence, kEmi);
    Run run = Sms({NewSms("0170 1", "abc")});
    EXPECT_EQ(run.status, 0) << run.Text();
    ASSERT_EQ(Accepted().size(), 1u);
}

TEST_F(SmsSendingTest, BusyUnansweredAndUnreachableCentresHaveTheirTexts) {
    struct Case {
        const char* centre;
        std::string text;
    } cases[] = {
        {kBusy, "Die gewählte Rufnummer ist besetzt! Versuchen Sie es später nochmal."},
        {kNoAnswer,
         "Der Teilnehmer antwortet nicht!. Wahrscheinlich ist die gewählte Telvora-Rufnummer "
         "falsch."},
        {kNobodyListens,
         "Der Teilnehmer ist nicht erreichbar!. Der Anrufmonitor wurde beim Empfänger  nicht "
         "gestartet, oder er ist  für diese Telvora- Rufnummer nicht konfiguriert."},
    };
    std::string id = NewSms("0170 1", "abc");
    for (const Case& c : cases) {
        Configure(c.centre, kEmi);
        Run run = Sms({id});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.lines.back(), "SMS-Meldung: " + c.text) << run.Text();
    }
}

TEST_F(SmsSendingTest, ALineCutInTheMiddleIsAFailureWithItsReason) {
    Configure(kTapHangUp, kEmi);
    std::string id = NewSms("0170 1", std::string(160, 'x'));
    Run run = Sms({id});
    EXPECT_EQ(run.status, 1) << run.Text();
    EXPECT_NE(run.Text().find("Verbindung zum SMS-Center ist unterbrochen"), std::string::npos)
        << run.Text();
    EXPECT_NE(Listing("SendNotes").find(id), std::string::npos);
}

TEST_F(SmsSendingTest, AllD1NotesGoOnOneCallAndARejectedOneStaysBehind) {
    Configure(kTapNakSecond, kEmi);
    std::string a = NewSms("0170 1", "eins"), b = NewSms("0170 2", "zwei"),
                c = NewSms("0170 3", "drei"), d2 = NewSms("0172 4", "vier");
    Run run = Sms({"--all", "D1"});
    EXPECT_EQ(run.status, 1) << "not every message was accepted";
    EXPECT_NE(run.Text().find("SMS-Nachricht wurde gesendet!\nSMS-Meldung: 2 SMS-Nachricht(en) "
                              "wurde(n) gesendet.1 SMS-Nachricht(en) konnte(n) nicht gesendet "
                              "werden.\n"),
              std::string::npos)
        << run.Text();
    EXPECT_EQ(Setting("smsSent"), "1");
    std::string out = Listing("OutNotes"), left = Listing("SendNotes");
    EXPECT_NE(out.find(a), std::string::npos);
    EXPECT_NE(out.find(c), std::string::npos);
    EXPECT_NE(left.find(b), std::string::npos);
    EXPECT_NE(left.find(d2), std::string::npos);
    auto accepted = Accepted();
    ASSERT_EQ(accepted.size(), 2u);
    EXPECT_EQ(accepted[0]["text"], "eins");
    EXPECT_EQ(accepted[1]["text"], "drei");

    // All D2 notes of a folder that has none: the call is made, nothing sent.
    Configure(kTap, kEmi);
    Telvora({"move", d2, "SendNotes", "InNotes"});
    Run none = Sms({"--all", "D2"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.lines.back(), "SMS-Nachricht konnte nicht gesendet werden!") << none.Text();
}

// telvora killed or hung up on while it waits for the centre (logging on,
// for the answer to a message, logging off): every note is in SendNotes or
// OutNotes, once, OutNotes holds only notes that the centre accepted, and
// what is left goes on the next send.
TEST_F(SmsSendingTest, AKilledMultipleSendLosesAndDoublesNothing) {
    struct Moment {
        const char* centre;
        const char* line;
    } moments[] = {
        {kTapPromptSilence, "Anmelden..."},
        {kTapSilent, "Sende SMS-Nachricht an 01701..."},
        {kTapNoLogout, "Abmelden..."},
    };
    for (const Moment& m : moments) {
        for (int signal : {SIGKILL, SIGHUP}) {
            Configure(m.centre, kEmi);
            std::set<std::string> ids = {NewSms("0170 1", "eins"), NewSms("0170 2", "zwei"),
                                         NewSms("0170 3", "drei")};
            size_t before = Accepted().size();
            ChildProcess child(TELVORA_PATH, {"sms", "--all", "D1", "--reply-steps", "2"}, env_,
                               dir_.File("A"), File("stderr.txt"));
            ASSERT_TRUE(child.WaitForLine(m.line, 30s)) << m.line;
            child.Signal(signal);
            ASSERT_EQ(child.Wait(10s), 128 + signal);
            std::string send = Listing("SendNotes"), out = Listing("OutNotes");
            size_t inOut = 0;
            for (const std::string& id : ids) {
                bool waiting = send.find(id) != std::string::npos;
                bool sent = out.find(id) != std::string::npos;
                EXPECT_NE(waiting, sent) << id << " after '" << m.line << "', signal " << signal;
                inOut += sent;
            }
            EXPECT_LE(inOut, Accepted().size() - before) << m.line;
            if (send.find("D1 SMS") != std::string::npos) {
                Configure(kTap, kEmi);
                Run again = Sms({"--all", "D1"});
                ASSERT_EQ(again.status, 0) << again.Text();
                EXPECT_EQ(Listing("SendNotes").find("D1 SMS"), std::string::npos);
            }
            EXPECT_EQ(Accepted().size() - before, ids.size())
                << "each note reaches the centre once, after '" << m.line << "'";
        }
    }
}

}  // namespace
