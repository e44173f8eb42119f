// Two stations on capisim with velo's window: A's velo sends a note through
// its send dialog, quorlin on B files it and starts B's velo with -n, and
// B's velo takes it into "InNotes" in bold with the new-notes notice.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "capisim_process.h"
#include "corvane.h"
#include "folder_view.h"
#include "main_frame.h"
#include "note_folders.h"
#include "note_list_view.h"
#include "quorlin_test_support.h"
#include "send_dialog.h"
#include "server_note_link.h"
#include "settings_file.h"
#include "test_dir.h"
#include "velo_doc.h"

namespace {

constexpr const char* kReply = "Danke, Bernd hat Ihre Notiz erhalten.";

// The processes that run this program file, by their executable.
std::vector<pid_t> ProcessesOf(const std::string& program) {
    std::vector<pid_t> pids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::error_code error;
        auto exe = std::filesystem::read_symlink(entry.path() / "exe", error);
        if (error || exe != program) continue;
        pids.push_back(std::stoi(entry.path().filename().string()));
    }
    return pids;
}

class VeloStationTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(capisim_.Start({"--line", "A:0:02211111", "--line", "B:0:03022222"}))
            << capisim_.Error();
        receiver_ = std::make_unique<QuorlinStation>(dir_.Path(), "B", capisim_.Port("B"), false);
        veloB_ = dir_.File("B/bin/velo");
        std::filesystem::copy_file(VELO_PATH, veloB_);
        WriteFile(receiver_->InstallDir() + "/Telvora.cfg",
                  "[Parameters]\ndebug=1\nrespMsgID=1\nrespMsg1=respMsg1.txt\n");
        WriteFile(receiver_->InstallDir() + "/respMsg1.txt", kReply);
        // B's velo inherits quorlin's environment: it draws off screen.
        ASSERT_TRUE(receiver_->Start({}, {{"QT_QPA_PLATFORM", "offscreen"}}))
            << receiver_->Errors();

        // Station A is this process.
        for (const auto& [key, value] : CallerEnvironment(dir_.Path(), "A", capisim_.Port("A")))
            setenv(key.c_str(), value.c_str(), 1);
        senderDir_ = dir_.File("A/install");
        WriteFile(senderDir_ + "/Telvora.cfg",
                  "[Sender]\nname=Anna Alt\ntelephone=0221 1111\nmsn=02211111\n");
        ASSERT_TRUE(RCOInitLinkDLL(TRUE));
    }

    void TearDown() override {
        RCOExitLinkDLL();
        for (pid_t pid : ProcessesOf(veloB_)) kill(pid, SIGKILL);
        receiver_->Process().Signal(SIGTERM);
        receiver_->Process().Wait(10s);
    }

    std::string VeloLogB() const { return ReadFile(receiver_->InstallDir() + "/Velo.log"); }

    TestDir dir_;
    capitest::CapisimProcess capisim_;
    std::unique_ptr<QuorlinStation> receiver_;
    std::string veloB_;
    std::string senderDir_;
};

TEST_F(VeloStationTest, ANoteSentFromTheWindowIsShownByTheReceiversVelo) {
    CVeloDoc doc(senderDir_, senderDir_ + "/Telvora.cfg");
    ASSERT_TRUE(doc.Open());
    NoteItem note;
    note.Set(NoteItem::kName, "Bernd Berg");
    note.Set(NoteItem::kNumber, "030 222 22");
    note.Set(NoteItem::kSubject, "Treffen");
    auto stored = doc.CreateItem(note, kSendNotes, "Morgen um drei am Dom?");
    ASSERT_TRUE(stored);

    std::vector<QString> statuses;
    QString result, caption, shownReply;
    MainFrameServices services{senderDir_ + "/Telvora.cfg",
                               ServerNoteLinkFactory("velo"),
                               "Telvora (velo test)",
                               nullptr,
                               {}};
    services.onSendDialog = [&](CSendDlg& dialog) {
        dialog.SetStatusShownHook(
            [&](const std::string& s) { statuses.push_back(QString::fromStdString(s)); });
        // Once the send has reported, the user reads the dialog and closes it.
        auto* poll = new QTimer(&dialog);
        QObject::connect(
            poll, &QTimer::timeout, &dialog, [&dialog, &result, &caption, &shownReply] {
                auto* line = dialog.findChild<QLabel*>("result");
                auto* close = dialog.findChild<QPushButton*>("close");
                if (!line || line->text().isEmpty() || !close || !close->isEnabled()) return;
                result = line->text();
                caption = dialog.findChild<QLabel*>("caption")->text();
                shownReply = dialog.findChild<QPlainTextEdit*>("status")->toPlainText();
                close->click();
            });
        poll->start(50);
    };
    CMainFrame frame(doc, services);
    frame.RestoreLayout();
    frame.show();
    frame.Folders()->SelectFolder(kSendNotes);
    frame.List()->SelectId(stored->NoteId());
    QApplication::processEvents();
    frame.SendItem();

    EXPECT_EQ(result, "Notiz wurde gesendet!");
    EXPECT_EQ(caption, "Empfängermitteilung:");
    EXPECT_EQ(shownReply.trimmed(), kReply);
    ASSERT_GE(statuses.size(), 3u);
    EXPECT_EQ(statuses[0], "Verbindungsaufbau (03022222) ...");
    EXPECT_TRUE(doc.Folder(kSendNotes).Items().empty());
    ASSERT_EQ(doc.Folder(kOutNotes).Items().size(), 1u);
    EXPECT_EQ(SettingsFile(senderDir_ + "/Telvora.cfg").Read(cfg::kNotesSent), "1");

    // quorlin started B's velo with -n; five seconds after its window
    // shows it takes the note in and says so.
    ASSERT_TRUE(WaitUntil(
        [&] { return VeloLogB().find("Hinweis auf neue Notizen") != std::string::npos; }, 20s))
        << VeloLogB() << receiver_->Errors();
    std::string log = VeloLogB();
    EXPECT_NE(log.find("Neu in InNotes"), std::string::npos) << log;
    EXPECT_NE(log.find("von Anna Alt"), std::string::npos) << log;
    EXPECT_NE(log.find("Ordner InNotes (1) (fett)"), std::string::npos) << log;
    ASSERT_EQ(ProcessesOf(veloB_).size(), 1u);

    // Killed now, B's velo leaves the note exactly once in its store, and
    // a velo started again by hand finds it there.
    kill(ProcessesOf(veloB_)[0], SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return ProcessesOf(veloB_).empty(); }, 5s));
    auto list = [&] {
        ChildProcess telvora(TELVORA_PATH, {"list", "InNotes"},
                             {{"TELVORA_HOME", receiver_->InstallDir()},
                              {"HOME", dir_.File("B/home")},
                              {"XDG_CONFIG_HOME", dir_.File("B/home/.config")}},
                             dir_.Path(), dir_.File("B/telvora-stderr.txt"));
        EXPECT_EQ(telvora.Wait(20s).value_or(-1), 0) << ReadFile(dir_.File("B/telvora-stderr.txt"));
        // The note's rows: the listing ends with the folder's count.
        std::vector<std::string> notes;
        for (const std::string& line : telvora.Lines())
            if (line.find("Treffen") != std::string::npos) notes.push_back(line);
        return notes;
    };
    auto lines = list();
    EXPECT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);

    // A hang-up signal ends velo as closing its window does: layout written.
    ChildProcess velo(veloB_, {},
                      {{"TELVORA_HOME", receiver_->InstallDir()},
                       {"HOME", dir_.File("B/home")},
                       {"XDG_CONFIG_HOME", dir_.File("B/home/.config")},
                       {"QT_QPA_PLATFORM", "offscreen"}},
                      dir_.Path(), dir_.File("B/velo-stderr.txt"));
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::string now = VeloLogB();
            return now.size() > log.size() &&
                   now.find("--CVeloApp::InitInstance()", log.size()) != std::string::npos;
        },
        15s))
        << ReadFile(dir_.File("B/velo-stderr.txt"));
    velo.Signal(SIGHUP);
    EXPECT_EQ(velo.Wait(10s).value_or(-1), 0) << ReadFile(dir_.File("B/velo-stderr.txt"));
    EXPECT_EQ(SettingsFile(receiver_->InstallDir() + "/Telvora.cfg").Read(cfg::kMainWindow),
              "40,20,600,400");
    lines = list();
    EXPECT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
}

// Started where no window can open (quorlin on a station without a
// desktop), velo says so in German and ends with status 1, never aborting.
TEST(VeloStart, WithoutADisplayVeloEndsWithStatusOneAndSaysWhy) {
    TestDir dir;
    struct Case {
        std::map<std::string, std::string> env;
    } cases[] = {
        {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}}},
        {{{"DISPLAY", ":97"}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"}}},
    };
    for (Case& c : cases) {
        c.env["TELVORA_HOME"] = dir.Path();
        c.env["HOME"] = dir.Path();
        ChildProcess velo(VELO_PATH, {"-n"}, c.env, dir.Path(), dir.File("stderr.txt"));
        EXPECT_EQ(velo.Wait(20s).value_or(-1), 1) << c.env["DISPLAY"];
        EXPECT_NE(ReadFile(dir.File("stderr.txt"))
                      .find("Es kann keine grafische Anzeige geöffnet werden"),
                  std::string::npos)
            << ReadFile(dir.File("stderr.txt"));
        // Nothing of the station was touched.
        EXPECT_FALSE(std::filesystem::exists(dir.File("Notes.dat")));
    }
    ChildProcess help(VELO_PATH, {"--help"}, {{"DISPLAY", ""}}, dir.Path(), dir.File("help.txt"));
    EXPECT_EQ(help.Wait(20s).value_or(-1), 0);
    ASSERT_FALSE(help.Lines().empty());
    EXPECT_EQ(help.Lines()[0], "Aufruf: velo [-n] [-h|--help]");
}

}  // namespace
