// Sending SMS notes from the store against a scripted SMS centre: the
// progress texts, the results, the counter and where the notes end up.
#include "sms_sender.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <vector>

#include "config_keys.h"
#include "msgbox_recorder.h"
#include "test_dir.h"
#include "velo_doc.h"

namespace {

struct ScriptedCentre {
    unsigned short connect = 0, reason = 0;
    std::string reasonText;
    int logon = 1, logout = 1;
    std::deque<std::pair<int, std::string>> answers;  // per message: result and reply
    std::string replyText;
    std::vector<std::string> calls;
    std::vector<int> networks;
    std::string dialled, msn;
    std::vector<std::string> messages;  // originator|recipient|text
};

class ScriptedSmsLink : public SmsCentreLink {
public:
    explicit ScriptedSmsLink(ScriptedCentre& c) : c_(c) {}
    unsigned short Connect(const std::string& number, const std::string& msn,
                           unsigned long steps) override {
        c_.calls.push_back("Connect " + std::to_string(steps));
        c_.dialled = number;
        c_.msn = msn;
        return c_.connect;
    }
    unsigned short Disconnect(unsigned long steps) override {
        c_.calls.push_back("Disconnect " + std::to_string(steps));
        return 0;
    }
    std::string DisconnectInfo(unsigned short& reason) override {
        reason = c_.reason;
        return c_.reasonText;
    }
    int Logon() override {
        c_.calls.push_back("Logon");
        return c_.logon;
    }
    int SendSMSMessage(const std::string& originator, const std::string& recipient,
                       const std::string& text) override {
        c_.calls.push_back("Send");
        c_.messages.push_back(originator + "|" + recipient + "|" + text);
        auto [result, reply] = c_.answers.empty() ? std::pair<int, std::string>{1, "OK"}
                                                  : c_.answers.front();
        if (!c_.answers.empty()) c_.answers.pop_front();
        c_.replyText = reply;
        return result;
    }
    int Logout() override {
        c_.calls.push_back("Logout");
        return c_.logout;
    }
    std::string ReplyText() override { return c_.replyText; }

private:
    ScriptedCentre& c_;
};

struct RecordedSmsProgress : SmsProgress {
    void Status(const std::string& text) override { statuses.push_back(text); }
    void Report(bool ok, const std::string& text) override {
        reports.push_back(ok);
        result = text;
    }
    std::vector<std::string> statuses;
    std::vector<bool> reports;
    std::string result;
};

class SmsSenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.Put("Telvora.cfg",
                 "[Sender]\nmsn=4711\nisdnPrefix=0\n"
                 "[Parameters]\nD1SMSCenter=0171 2521002\nD2SMSCenter=01722278020\n"
                 "D2CallByCallTariffPlan=CBCT_01\nD2CallerPhoneNumber=0221999\n"
                 "[CallByCallProviders]\nItems=1\nitem-001=1|CBCP_01|Sparfon|01013\n"
                 "[CallByCallTariffPlan]\nItems=1\nitem-001=1|Immer|CBCT_01\n"
                 "[CBCT_01]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_01\n");
        ASSERT_TRUE(doc_.Open());
    }
    void TearDown() override { doc_.Close(); }

    SmsSender Sender() {
        return SmsSender(settings_, [this](int network) {
            centre_.networks.push_back(network);
            return std::make_unique<ScriptedSmsLink>(centre_);
        });
    }
    long AddSms(NoteType type, const std::string& number, const std::string& text) {
        NoteItem note(next_++);
        note.SetNumber(NoteItem::kType, static_cast<int>(type));
        note.Set(NoteItem::kNumber, number);
        auto stored = doc_.CreateItem(note, kSendNotes, text);
        EXPECT_TRUE(stored);
        return stored ? stored->NoteId() : 0;
    }
    std::vector<long> IdsIn(int folder) {
        std::vector<long> ids;
        for (const NoteItem& n : doc_.Folder(folder).Items()) ids.push_back(n.NoteId());
        return ids;
    }

    TestDir dir_;
    SettingsFile settings_{dir_.File("Telvora.cfg")};
    CVeloDoc doc_{dir_.File("store"), dir_.File("Telvora.cfg")};
    ScriptedCentre centre_;
    RecordedSmsProgress progress_;
    MessageBoxRecorder boxes_;
    long next_ = 1018880000;
};

TEST_F(SmsSenderTest, OneNoteGoesToTheDigitsOfItsNumberAndMovesToOutNotes) {
    long id = AddSms(NoteType::D1Sms, "+49 (170) 000-0000", "Grüße");
    centre_.answers = {{1, "211 Message accepted"}};
    SmsSender sender = Sender();
    ASSERT_TRUE(doc_.SendSms(id, kSendNotes, sender, progress_));
    EXPECT_EQ(centre_.messages, std::vector<std::string>{"|491700000000|Grüße"});
    EXPECT_EQ(centre_.dialled, "001712521002");
    EXPECT_EQ(centre_.msn, "4711");
    EXPECT_EQ(centre_.calls, (std::vector<std::string>{"Connect 200", "Logon", "Send", "Logout",
                                                       "Disconnect 50"}));
    EXPECT_EQ(progress_.statuses,
              (std::vector<std::string>{"Verbindungsaufbau zum SMS-Center (001712521002) ...",
                                        "Anmelden...", "Sende SMS-Nachricht an 491700000000...",
                                        "Abmelden...", "Verbindungsabbau..."}));
    EXPECT_EQ(progress_.reports, std::vector<bool>{true});
    EXPECT_EQ(progress_.result, "211 Message accepted");
    EXPECT_EQ(settings_.Read(cfg::kSmsSent), "1");
    EXPECT_TRUE(IdsIn(kSendNotes).empty());
    ASSERT_EQ(IdsIn(kOutNotes), std::vector<long>{id});
    EXPECT_EQ(doc_.Folder(kOutNotes).Items()[0].Number(NoteItem::kState), kStateSent);
}

TEST_F(SmsSenderTest, ATextOverOneHundredSixtyCharactersIsRefusedOnTheCallAndTheCallEnds) {
    // 160 characters pass, umlauts counted as one each.
    long fits = AddSms(NoteType::D1Sms, "0170 1234567", std::string(150, 'a') + "äöüÄÖÜßäöü");
    long tooLong = AddSms(NoteType::D1Sms, "0170 1234567", std::string(161, 'a'));
    SmsSender sender = Sender();
    EXPECT_TRUE(doc_.SendSms(fits, kSendNotes, sender, progress_));
    centre_.calls.clear();
    progress_ = {};
    EXPECT_FALSE(doc_.SendSms(tooLong, kSendNotes, sender, progress_));
    EXPECT_EQ(centre_.calls,
              (std::vector<std::string>{"Connect 200", "Logon", "Logout", "Disconnect 50"}));
    std::string size =
        "SMS-Nachricht ist zu groß!. Sie können SMS-Nachrichten bis zu einer Größe von 160 "
        "Zeichen senden.";
    EXPECT_EQ(progress_.statuses[2], size);
    EXPECT_EQ(progress_.reports, std::vector<bool>{false});
    EXPECT_EQ(progress_.result, "SMS-Nachricht konnte nicht gesendet werden! Grund: [" + size + "]");
    EXPECT_EQ(IdsIn(kSendNotes), std::vector<long>{tooLong});
    EXPECT_EQ(settings_.Read(cfg::kSmsSent), "1");
}

TEST_F(SmsSenderTest, ThreeD1NotesWithTheSecondRejectedGiveTheCombinedResult) {
    long a = AddSms(NoteType::D1Sms, "0170 1", "eins");
    long d2 = AddSms(NoteType::D2Sms, "0172 2", "anderes Netz");
    long b = AddSms(NoteType::D1Sms, "0170 3", "zwei");
    long c = AddSms(NoteType::D1Sms, "0170 4", "drei");
    centre_.answers = {{1, "211 eins"}, {0, "510 Message rejected"}, {1, "211 drei"}};
    SmsSender sender = Sender();
    ASSERT_TRUE(doc_.SendAllSms(kSendNotes, note_kind::kD1Sms, sender, progress_));
    EXPECT_EQ(centre_.networks, std::vector<int>{2});
    EXPECT_EQ(centre_.messages.size(), 3u);
    EXPECT_EQ(progress_.statuses,
              (std::vector<std::string>{
                  "Verbindungsaufbau zum SMS-Center (001712521002) ...", "Anmelden...",
                  "Sende SMS-Nachricht an 01701...", "211 eins",
                  "Sende SMS-Nachricht an 01703...",
                  "SMS-Nachricht konnte nicht gesendet werden! Grund: [510 Message rejected]",
                  "Sende SMS-Nachricht an 01704...", "211 drei", "Abmelden...",
                  "Verbindungsabbau..."}));
    EXPECT_EQ(progress_.reports, std::vector<bool>{true});
    EXPECT_EQ(progress_.result,
              "2 SMS-Nachricht(en) wurde(n) gesendet.1 SMS-Nachricht(en) konnte(n) nicht "
              "gesendet werden.");
    EXPECT_EQ(settings_.Read(cfg::kSmsSent), "1");
    EXPECT_EQ(IdsIn(kOutNotes), (std::vector<long>{a, c}));
    EXPECT_EQ(IdsIn(kSendNotes), (std::vector<long>{d2, b}));
    EXPECT_EQ(doc_.Folder(kSendNotes).Items()[1].Number(NoteItem::kState), kStateCreated);

    // What was written is what a fresh look at the store finds.
    doc_.Close();
    CVeloDoc again(dir_.File("store"), dir_.File("Telvora.cfg"));
    ASSERT_TRUE(again.Open());
    EXPECT_EQ(again.Folder(kOutNotes).Items().size(), 2u);
    again.Close();
    ASSERT_TRUE(doc_.Open());
}

TEST_F(SmsSenderTest, AllD2NotesOfAFolderWithOnlyD1NotesMakeTheCallAndSendNothing) {
    AddSms(NoteType::D1Sms, "0170 1", "eins");
    SmsSender sender = Sender();
    ASSERT_TRUE(doc_.SendAllSms(kSendNotes, note_kind::kD2Sms, sender, progress_));
    EXPECT_EQ(centre_.dialled, "0010130172227802" "0");
    EXPECT_TRUE(centre_.messages.empty());
    EXPECT_EQ(progress_.reports, std::vector<bool>{false});
    EXPECT_EQ(progress_.result, "");
    EXPECT_EQ(settings_.Read(cfg::kSmsSent), "0");

    // A folder without any SMS note is said so, and nothing is dialled.
    centre_.calls.clear();
    EXPECT_FALSE(doc_.SendAllSms(kOutNotes, note_kind::kD1Sms, sender, progress_));
    EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"Es sind keine SMS-Nachrichten zu senden!"});
    EXPECT_TRUE(centre_.calls.empty());
}

TEST_F(SmsSenderTest, TheD2OriginatorIsTheConfiguredCallerNumber) {
    long id = AddSms(NoteType::D2Sms, "0172 555", "x");
    SmsSender sender = Sender();
    ASSERT_TRUE(doc_.SendSms(id, kSendNotes, sender, progress_));
    EXPECT_EQ(centre_.messages, std::vector<std::string>{"0221999|0172555|x"});
    EXPECT_EQ(progress_.statuses[2], "Sende D2 SMS-Nachricht an 0172555...");
    settings_.RemoveKey("Parameters", "D2CallerPhoneNumber");
    long other = AddSms(NoteType::D2Sms, "0172 555", "y");
    ASSERT_TRUE(doc_.SendSms(other, kSendNotes, sender, progress_));
    EXPECT_EQ(centre_.messages.back(), "0|0172555|y");
}

TEST_F(SmsSenderTest, FailuresOfTheCallHaveTheirOwnTexts) {
    long id = AddSms(NoteType::D1Sms, "0170 1", "eins");
    struct Case {
        unsigned short reason;
        std::string text;
    } cases[] = {
        {0x3491, "Die gewählte Rufnummer ist besetzt! Versuchen Sie es später nochmal."},
        {0x3492,
         "Der Teilnehmer antwortet nicht!. Wahrscheinlich ist die gewählte Telvora-Rufnummer "
         "falsch."},
        {0x34D8,
         "Der Teilnehmer ist nicht erreichbar!. Der Anrufmonitor wurde beim Empfänger  nicht "
         "gestartet, oder er ist  für diese Telvora- Rufnummer nicht konfiguriert."},
        {0x3481,
         "Verbindung zum SMS-Center '001712521002' konnte nicht aufgebaut werden!. Grund: "
         "[Nummer nicht zugeteilt]"},
    };
    SmsSender sender = Sender();
    centre_.connect = 2;
    centre_.reasonText = "Nummer nicht zugeteilt";
    for (const Case& c : cases) {
        centre_.reason = c.reason;
        progress_ = {};
        EXPECT_FALSE(doc_.SendSms(id, kSendNotes, sender, progress_));
        EXPECT_EQ(progress_.reports, std::vector<bool>{false});
        EXPECT_EQ(progress_.result, c.text);
    }
    centre_.connect = 0;
    centre_.logon = 0;
    centre_.replyText = "kein Prompt";
    centre_.calls.clear();
    progress_ = {};
    EXPECT_FALSE(doc_.SendSms(id, kSendNotes, sender, progress_));
    EXPECT_EQ(progress_.result, "Logon fehlgeschlagen! Grund: [kein Prompt]");
    EXPECT_EQ(centre_.calls, (std::vector<std::string>{"Connect 200", "Logon", "Disconnect 50"}));
    EXPECT_EQ(IdsIn(kSendNotes), std::vector<long>{id});
}

TEST_F(SmsSenderTest, AnUnconfirmedLogoutIsShownAndTheMessageStillCounts) {
    long id = AddSms(NoteType::D1Sms, "0170 1", "eins");
    centre_.logout = 0;
    centre_.answers = {{1, "211 ok"}};
    SmsSender sender = Sender();
    EXPECT_TRUE(doc_.SendSms(id, kSendNotes, sender, progress_));
    EXPECT_EQ(progress_.statuses.back(), "Abmeldenfehler! Grund: [211 ok]");
    EXPECT_EQ(progress_.reports, std::vector<bool>{true});
    EXPECT_EQ(IdsIn(kOutNotes), std::vector<long>{id});
}

TEST_F(SmsSenderTest, AMissingTextFileIsNamedAndNothingIsSent) {
    long id = AddSms(NoteType::D1Sms, "0170 1", "eins");
    std::string path = doc_.Folder(kSendNotes).TextPath(doc_.Folder(kSendNotes).Items()[0]);
    ASSERT_EQ(unlink(path.c_str()), 0);
    SmsSender sender = Sender();
    EXPECT_FALSE(doc_.SendSms(id, kSendNotes, sender, progress_));
    EXPECT_TRUE(centre_.messages.empty());
    EXPECT_EQ(progress_.statuses[2], "Note-Datei '" + path + "' kann nicht geöffnet werden!");
}

}  // namespace
