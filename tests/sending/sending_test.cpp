// A note from station A to station B as a user sends it: telvora on A
// dials through capisim, quorlin answers on B and files the note.
#include <gtest/gtest.h>
#include <signal.h>

#include "capisim_process.h"
#include "note_handoff.h"
#include "note_item.h"
#include "profile.h"
#include "quorlin_test_support.h"

namespace {

constexpr const char* kReceiver = "0301234567";
constexpr const char* kBusy = "0307000001";
constexpr const char* kOlderReceiver = "0409876543";
constexpr const char* kReply = "Danke, Notiz ist angekommen.";

class SendingTest : public testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir_.File("capisim.cfg"), std::string("[Numbers]\n") + kBusy + "=busy\n");
        ASSERT_TRUE(
            capisim_.Start({"--line", "A:0:02211111", "--line", std::string("B:0:") + kReceiver,
                            "--line", std::string("O:0:") + kOlderReceiver, "--outside-prefix",
                            "A:0", "--call-log", CallLog(), "--config", dir_.File("capisim.cfg")}))
            << capisim_.Error();
        receiver_ = std::make_unique<QuorlinStation>(dir_.Path(), "B", capisim_.Port("B"), true);
        WriteFile(receiver_->InstallDir() + "/Telvora.cfg",
                  "[Parameters]\ndebug=1\nrespMsgID=1\nrespMsg1=respMsg1.txt\n");
        WriteFile(receiver_->InstallDir() + "/respMsg1.txt", kReply);
        ASSERT_TRUE(receiver_->Start()) << receiver_->Errors();

        env_ = CallerEnvironment(dir_.Path(), "A", capisim_.Port("A"));
        WriteFile(SenderFile("Telvora.cfg"),
                  "[Sender]\nname=Anna Alt\ntelephone=0221 1111\nmsn=02211111\nisdnPrefix=0\n"
                  "NoteCallByCallTariffPlan=CBCT_01\n"
                  "[CallByCallProviders]\nItems=1\nitem-001=1|CBCP_01|Sparfon|01013\n"
                  "[CallByCallTariffPlan]\nItems=1\nitem-001=1|Immer|CBCT_01\n"
                  "[CBCT_01]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_01\n");
    }

    void TearDown() override {
        receiver_->Process().Signal(SIGTERM);
        EXPECT_EQ(receiver_->Process().Wait(10s), receiverExit_) << receiver_->Errors();
    }

    std::string CallLog() const { return dir_.File("calls.jsonl"); }
    std::string SenderFile(const std::string& name) const { return dir_.File("A/install/" + name); }

    struct Run {
        int status = -1;
        std::vector<std::string> lines;
    };
    // telvora on station A, to its end.
    Run Telvora(const std::vector<std::string>& args) {
        ChildProcess child(TELVORA_PATH, args, env_, dir_.File("A"), SenderFile("stderr.txt"));
        Run run;
        run.status = child.Wait(60s).value_or(-1);
        run.lines = child.Lines();
        return run;
    }
    std::string NewNote(const std::string& number, const std::string& text) {
        Run run = Telvora({"new", number, "Bernd", "Treffen", "--text", text});
        EXPECT_EQ(run.status, 0);
        return run.lines.empty() ? "" : run.lines[0];
    }
    std::string NotesSent() {
        char buf[32];
        GetPrivateProfileString("Parameters", "notesSent", "0", buf, sizeof buf,
                                SenderFile("Telvora.cfg").c_str());
        return buf;
    }
    std::string Listing(const char* folder) {
        std::string all;
        for (const std::string& line : Telvora({"list", folder}).lines) all += line + "\n";
        return all;
    }
    std::optional<NoteItem> Received() {
        std::optional<std::string> record;
        WaitUntil(
            [&] { return (record = PendingItem(receiver_->NotesFile(), "InNotes")).has_value(); },
            10s);
        if (!record) return std::nullopt;
        ConfirmTaken(receiver_->NotesFile(), "InNotes", *record);
        return NoteItem::Parse(*record);
    }

    capitest::TempDir dir_;
    capitest::CapisimProcess capisim_;
    std::unique_ptr<QuorlinStation> receiver_;
    std::map<std::string, std::string> env_;
    int receiverExit_ = 0;  // 1 once the exchange is gone under it
};

TEST_F(SendingTest, ANoteReachesTheReceiverWhoseReplyIsShown) {
    std::string id = NewNote("030/123 45-67", "Hallo Bernd, morgen um drei?");
    Run send = Telvora({"send", id});
    ASSERT_EQ(send.status, 0) << ReadFile(SenderFile("stderr.txt"));
    EXPECT_EQ(send.lines,
              (std::vector<std::string>{"Verbindungsaufbau (0010130301234567) ...",
                                        "Gegenstelle identifizieren...", "Sende Notiz...",
                                        "Verbindungsabbau...", "Notiz wurde gesendet!",
                                        "Empfängermitteilung:", kReply}));
    EXPECT_EQ(NotesSent(), "1");
    EXPECT_EQ(Listing("SendNotes"), "Bereit\n");
    EXPECT_NE(Listing("OutNotes").find(id + "\tTelvora\t"), std::string::npos);
    std::string shown;
    for (const std::string& line : Telvora({"show", "OutNotes", id}).lines) shown += line + "\n";
    EXPECT_NE(shown.find("\nHallo Bernd, morgen um drei?\n"), std::string::npos);

    // The exchange saw the outside line, the carrier and the number apart.
    auto log = capitest::WaitForCallLog(CallLog(), 1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["dialled"], "0010130301234567");
    EXPECT_EQ(log[0]["outside_prefix"], "0");
    EXPECT_EQ(log[0]["carrier_prefix"], "01013");
    EXPECT_EQ(log[0]["called_number"], kReceiver);

    // A current receiver got the rawNote line: it stores the sender's program.
    auto note = Received();
    ASSERT_TRUE(note);
    EXPECT_EQ(note->Get(NoteItem::kInfo), "Telvora 0.1 (telvora)");
    EXPECT_EQ(note->Get(NoteItem::kName), "Anna Alt");
    EXPECT_EQ(note->Get(NoteItem::kNumber), "0221 1111");
    EXPECT_EQ(note->Get(NoteItem::kSubject), "Treffen");
    EXPECT_EQ(ReadFile(receiver_->InstallDir() + "/InNotes/" + note->Get(NoteItem::kTextFile)),
              "Hallo Bernd, morgen um drei?");
}

TEST_F(SendingTest, ABusyNumberIsReportedAndNothingCounted) {
    std::string id = NewNote(kBusy, "Hallo");
    Run send = Telvora({"send", id});
    EXPECT_EQ(send.status, 1);
    ASSERT_GE(send.lines.size(), 2u);
    EXPECT_EQ(send.lines[send.lines.size() - 2],
              "Die gewählte Rufnummer ist besetzt! Versuchen Sie es später nochmal.");
    EXPECT_EQ(send.lines.back(), "Notiz konnte nicht gesendet werden!");
    EXPECT_EQ(NotesSent(), "0");
    EXPECT_NE(Listing("SendNotes").find(id), std::string::npos);
}

TEST_F(SendingTest, TheLongestNoteGoesAndALongerOneIsRefusedBeforeDialling) {
    // telvora new refuses such a text, so another program put it there.
    std::string longer = NewNote(kReceiver, "kurz");
    for (const std::string& line : Telvora({"show", "SendNotes", longer}).lines) {
        if (line.rfind("Datei: ", 0) == 0) {
            WriteFile(SenderFile("SendNotes/" + line.substr(7)), std::string(2048, 'x'));
        }
    }
    Run refused = Telvora({"send", longer});
    EXPECT_EQ(refused.status, 1);
    ASSERT_FALSE(refused.lines.empty());
    EXPECT_EQ(refused.lines[0],
              "Notiz ist zu groß!. Sie können Notizen bis zu einer Größe von 2048 bytes senden.");

    std::string longest = NewNote(kReceiver, std::string(2047, 'y'));
    ASSERT_EQ(Telvora({"send", longest}).status, 0);
    auto note = Received();
    ASSERT_TRUE(note);
    EXPECT_EQ(ReadFile(receiver_->InstallDir() + "/InNotes/" + note->Get(NoteItem::kTextFile)),
              std::string(2047, 'y'));
    // The exchange logs a call once it has cleared it, a moment after telvora ended.
    EXPECT_EQ(capitest::WaitForCallLog(CallLog(), 1).size(), 1u);
    EXPECT_EQ(capitest::ReadCallLog(CallLog()).size(), 1u) << "only the second was dialled";
}

TEST_F(SendingTest, MissingSenderDataIsAskedForAndNothingDialled) {
    WriteFile(SenderFile("Telvora.cfg"), "[Sender]\nmsn=02211111\n");
    std::string id = NewNote(kReceiver, "Hallo");
    Run send = Telvora({"send", id});
    EXPECT_EQ(send.status, 1);
    EXPECT_EQ(send.lines, (std::vector<std::string>{"Die Absenderangaben sind nicht vollständig!",
                                                    "Möchten Sie diese jetzt eingeben? Nein."}));
    EXPECT_TRUE(capitest::ReadCallLog(CallLog()).empty());
}

TEST_F(SendingTest, AnOlderReceiverGetsTheNoteLine) {
    auto env = CallerEnvironment(dir_.Path(), "O", capisim_.Port("O"));
    std::string install = env["TELVORA_HOME"];
    ChildProcess older(OLDER_RECEIVER_PATH, {install + "/older"}, env, install,
                       dir_.File("O/stderr.txt"));
    ASSERT_TRUE(older.WaitForLine("ready", 10s)) << ReadFile(dir_.File("O/stderr.txt"));

    std::string id = NewNote(kOlderReceiver, "Hallo | alte Station");
    Run send = Telvora({"send", id});
    ASSERT_EQ(send.status, 0) << ReadFile(SenderFile("stderr.txt"));
    EXPECT_EQ(older.Wait(15s), 0) << ReadFile(dir_.File("O/stderr.txt"));

    // The note line carries no program identification, so none is stored.
    std::string notes = install + "/Notes.dat";
    auto record = PendingItem(notes, "InNotes");
    ASSERT_TRUE(record);
    auto note = NoteItem::Parse(*record);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->Get(NoteItem::kInfo), "");
    EXPECT_EQ(note->Get(NoteItem::kName), "Anna Alt");
    EXPECT_EQ(note->Get(NoteItem::kSubject), "Treffen");
    EXPECT_EQ(ReadFile(install + "/InNotes/" + note->Get(NoteItem::kTextFile)),
              "Hallo | alte Station");
}

// The exchange goes away in the middle of a send: telvora's writes to its
// socket fail, and that is a failed send, not a program killed by SIGPIPE.
TEST_F(SendingTest, AVanishingExchangeIsAFailedSendNotAKilledProgram) {
    std::string id = NewNote(kReceiver, std::string(2047, 'z'));
    ChildProcess send(TELVORA_PATH, {"send", id}, env_, dir_.File("A"), SenderFile("stderr.txt"));
    ASSERT_TRUE(send.WaitForLine("Sende Notiz...", 20s));
    capisim_.Kill();
    receiverExit_ = 1;
    EXPECT_EQ(send.Wait(60s), 1) << ReadFile(SenderFile("stderr.txt"));
    EXPECT_TRUE(send.WaitForLine("Notiz konnte nicht gesendet werden!", 1s));
    EXPECT_NE(Listing("SendNotes").find(id), std::string::npos) << "still to be sent";
}

}  // namespace
