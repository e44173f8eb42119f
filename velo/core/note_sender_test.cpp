#include "note_sender.h"

#include <gtest/gtest.h>

#include <vector>

#include "msgbox_recorder.h"
#include "test_dir.h"
#include "velo_doc.h"

namespace {

// A receiving station that answers as scripted and records what it was asked.
struct ScriptedStation {
    unsigned short connect = 0, requestId = 0, version = 0, exec = 0, remoteResult = 0;
    int versionValue = 1;
    unsigned short reason = 0;
    std::string reasonText, reply;
    std::vector<std::string> calls;
    std::string dialled, msn, commandLine;
};

class ScriptedLink : public NoteLink {
public:
    explicit ScriptedLink(ScriptedStation& s) : s_(s) {}
    unsigned short Connect(const std::string& number, const std::string& msn,
                           unsigned long steps) override {
        s_.calls.push_back("Connect " + std::to_string(steps));
        s_.dialled = number;
        s_.msn = msn;
        return s_.connect;
    }
    unsigned short Disconnect(unsigned long steps) override {
        s_.calls.push_back("Disconnect " + std::to_string(steps));
        return 0;
    }
    std::string DisconnectInfo(unsigned short& reason) override {
        reason = s_.reason;
        return s_.reasonText;
    }
    unsigned short RequestId() override {
        s_.calls.push_back("RequestId");
        return s_.requestId;
    }
    unsigned short GetServerVersion(int& version) override {
        s_.calls.push_back("GetServerVersion");
        version = s_.version == 0 ? s_.versionValue : -1;
        return s_.version;
    }
    unsigned short ExecRemCmd(const std::string& line) override {
        s_.calls.push_back("ExecRemCmd");
        s_.commandLine = line;
        return s_.exec;
    }
    unsigned short RemoteResult() override { return s_.remoteResult; }
    std::string ResponseText() override { return s_.reply; }
    std::string ErrorText(unsigned short code) override { return "Fehler " + std::to_string(code); }

private:
    ScriptedStation& s_;
};

class RecordedProgress : public SendProgress {
public:
    void Status(const std::string& text) override { statuses.push_back(text); }
    bool Ask(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    bool EditSettings() override {
        if (onEdit) onEdit();
        return static_cast<bool>(onEdit);
    }
    void Report(bool ok, const std::string& r) override {
        reports.push_back(ok);
        reply = r;
    }
    std::vector<std::string> statuses, questions;
    std::vector<bool> reports;
    std::string reply;
    bool answer = false;
    std::function<void()> onEdit;
};

class NoteSenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.Put("Telvora.cfg",
                 "[Sender]\nname=Anna Alt\ntelephone=0221 4711\nmsn=4711\nisdnPrefix=0\n"
                 "NoteCallByCallTariffPlan=CBCT_01\n"
                 "[CallByCallProviders]\nItems=1\nitem-001=1|CBCP_01|Sparfon|01013\n"
                 "[CallByCallTariffPlan]\nItems=1\nitem-001=1|Immer|CBCT_01\n"
                 "[CBCT_01]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_01\n");
    }
    NoteSender Sender() {
        return NoteSender(
            settings_, [this] { return std::make_unique<ScriptedLink>(station_); }, "Telvora 1.0");
    }
    NoteToSend Note(std::string text = "Hallo Bernd") { return {"030/123 45-67", "Treffen", text}; }

    TestDir dir_;
    SettingsFile settings_{dir_.File("Telvora.cfg")};
    ScriptedStation station_;
    RecordedProgress progress_;
};

TEST_F(NoteSenderTest, ASuccessfulSendShowsTheReplyAndCountsTheNote) {
    station_.reply = "Bin im Urlaub";
    ASSERT_TRUE(Sender().Send(Note(), progress_));
    EXPECT_EQ(progress_.statuses,
              (std::vector<std::string>{"Verbindungsaufbau (0010130301234567) ...",
                                        "Gegenstelle identifizieren...", "Sende Notiz...",
                                        "Verbindungsabbau..."}));
    EXPECT_EQ(progress_.reports, std::vector<bool>{true});
    EXPECT_EQ(progress_.reply, "Bin im Urlaub");
    EXPECT_EQ(station_.msn, "4711");
    EXPECT_EQ(station_.calls,
              (std::vector<std::string>{"Connect 100", "RequestId", "GetServerVersion",
                                        "ExecRemCmd", "Disconnect 50"}));
    EXPECT_EQ(station_.commandLine,
              "rawNote 1.1|Telvora 1.0||0221 4711|Anna Alt|Treffen|Hallo Bernd");
    EXPECT_EQ(settings_.Read(cfg::kNotesSent), "1");
    ASSERT_TRUE(Sender().Send(Note(), progress_));
    EXPECT_EQ(settings_.Read(cfg::kNotesSent), "2");
}

TEST_F(NoteSenderTest, OlderReceiversGetTheNoteLine) {
    for (auto [rc, value] : {std::pair<unsigned short, int>{16, 0}, {0, 0}}) {
        station_.version = rc;
        station_.versionValue = value;
        ASSERT_TRUE(Sender().Send(Note(), progress_));
        EXPECT_EQ(station_.commandLine, "note 0221 4711|Anna Alt|Treffen|Hallo Bernd");
    }
    station_.version = 7;
    EXPECT_FALSE(Sender().Send(Note(), progress_));
    EXPECT_EQ(progress_.statuses.back(), "Versionsabfrage fehlgeschlagen!. Grund: [Fehler 7]");
}

TEST_F(NoteSenderTest, RefusalsOfTheNetworkHaveTheirMessagesAndCountNothing) {
    struct Case {
        unsigned short reason;
        std::string message;
    } cases[] = {
        {0x3491, "Die gewählte Rufnummer ist besetzt! Versuchen Sie es später nochmal."},
        {0x3492,
         "Der Teilnehmer antwortet nicht!. Wahrscheinlich ist die gewählte Telvora-Rufnummer "
         "falsch."},
        {0x34D8,
         "Der Teilnehmer ist nicht erreichbar!. Der Anrufmonitor wurde beim Empfänger  nicht "
         "gestartet, oder er ist  für diese Telvora- Rufnummer nicht konfiguriert."},
        {0x3481,
         "Verbindung zu '0010130301234567' konnte nicht aufgebaut werden!. Grund: [kein "
         "Anschluss]"},
    };
    for (const Case& c : cases) {
        station_.connect = 2;
        station_.reason = c.reason;
        station_.reasonText = "kein Anschluss";
        station_.calls.clear();
        EXPECT_FALSE(Sender().Send(Note(), progress_));
        EXPECT_EQ(progress_.statuses.back(), c.message);
        EXPECT_EQ(station_.calls, (std::vector<std::string>{"Connect 100", "Disconnect 0"}));
    }
    EXPECT_EQ(settings_.Read(cfg::kNotesSent), "0");
}

TEST_F(NoteSenderTest, TextLimitsAreCheckedBeforeDialling) {
    std::string longest(2047, 'x');
    ASSERT_TRUE(Sender().Send(Note(longest), progress_));
    EXPECT_EQ(station_.commandLine.substr(station_.commandLine.size() - 2047), longest);
    station_.calls.clear();
    EXPECT_FALSE(Sender().Send(Note(longest + "x"), progress_));
    EXPECT_FALSE(Sender().Send(Note(""), progress_));
    EXPECT_TRUE(station_.calls.empty());
    EXPECT_EQ(progress_.statuses.back(), "Notiztext konnte nicht gefunden werden!");
    EXPECT_EQ(progress_.statuses[progress_.statuses.size() - 2],
              "Notiz ist zu groß!. Sie können Notizen bis zu einer Größe von 2048 bytes senden.");
    // A number that is not one would dial something else, or only the prefixes.
    for (const char* number : {"030-abc-222", ""}) {
        EXPECT_FALSE(Sender().Send(NoteToSend{number, "s", "t"}, progress_));
        EXPECT_EQ(progress_.statuses.back(), std::string("Die Rufnummer/Adresse '") + number +
                                                 "' hat ein falsches Format!\n Bitte überprüfen!");
    }
    EXPECT_TRUE(station_.calls.empty());
}

TEST_F(NoteSenderTest, MissingSenderDataAsksFirst) {
    settings_.WriteText("Sender", "name", nullptr);
    EXPECT_FALSE(Sender().Send(Note(), progress_));
    EXPECT_EQ(progress_.questions,
              std::vector<std::string>{"Die Absenderangaben sind nicht vollständig!\n"
                                       "Möchten Sie diese jetzt eingeben?"});
    EXPECT_TRUE(progress_.reports.empty());  // no report for "No"
    EXPECT_TRUE(station_.calls.empty());

    progress_.answer = true;
    progress_.onEdit = [&] { settings_.WriteText("Sender", "name", "Anna Neu"); };
    ASSERT_TRUE(Sender().Send(Note(), progress_));
    EXPECT_NE(station_.commandLine.find("|Anna Neu|"), std::string::npos);
}

TEST_F(NoteSenderTest, FailuresAfterTheCallHangUpOrderly) {
    station_.requestId = 21;
    EXPECT_FALSE(Sender().Send(Note(), progress_));
    EXPECT_EQ(station_.calls.back(), "Disconnect 50");
    EXPECT_EQ(progress_.statuses.back().substr(0, 40), "Gegenstelle hat geantwortet aber sie ist");
    station_.requestId = 0;
    station_.exec = 17;
    EXPECT_FALSE(Sender().Send(Note(), progress_));
    EXPECT_EQ(progress_.statuses.back(),
              "Notiz konnte nicht übermittelt werden!. Grund: [Fehler 17]");
    // The receiver answered, but could not store the note.
    station_.exec = 0;
    station_.remoteResult = 1;
    EXPECT_FALSE(Sender().Send(Note(), progress_));
    EXPECT_EQ(progress_.statuses.back(),
              "Notiz konnte nicht übermittelt werden!. Grund: [Fehler 17]");
    EXPECT_EQ(progress_.reports, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(settings_.Read(cfg::kNotesSent), "0");
}

TEST_F(NoteSenderTest, TheDocumentSendsNotesAndFilesThemAsSent) {
    MessageBoxRecorder boxes;
    CVeloDoc doc(dir_.File("store"), settings_.Path());
    ASSERT_TRUE(doc.Open());
    NoteItem draft(1018880400);
    draft.Set(NoteItem::kNumber, "030 1234567");
    auto note = *doc.CreateItem(draft, kSendNotes, std::string(2048, 'y'));
    NoteSender sender = Sender();
    EXPECT_FALSE(doc.SendNote(note.NoteId(), kSendNotes, sender, progress_));  // too long to send
    ASSERT_TRUE(WriteNoteText(doc.Folder(kSendNotes).TextPath(note), "kurz"));
    ASSERT_TRUE(doc.SendNote(note.NoteId(), kSendNotes, sender, progress_));
    EXPECT_TRUE(doc.Folder(kSendNotes).Items().empty());
    ASSERT_TRUE(doc.Folder(kOutNotes).Find(note.NoteId()));
    EXPECT_EQ(doc.ReadText(*doc.Folder(kOutNotes).Find(note.NoteId()), kOutNotes), "kurz");

    NoteItem call(5);
    call.SetNumber(NoteItem::kType, 5);
    doc.AddItem(call, kSendNotes);
    EXPECT_FALSE(doc.SendNote(5, kSendNotes, sender, progress_));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Dokument kann nicht gesendet werden"});
}

TEST(NoteSenderLine, BarsInFieldsDoNotShiftTheReceiversFields) {
    EXPECT_EQ(NoteSender::CommandLine(0, "id", "030|1", "A|B", "x|y", "text|with bar"),
              "note 030\xC2\xA6"
              "1|A\xC2\xA6"
              "B|x\xC2\xA6"
              "y|text|with bar");
}

}  // namespace
