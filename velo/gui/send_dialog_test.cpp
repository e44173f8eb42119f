#include "send_dialog.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <vector>

#include "gui_wait_hook.h"
#include "msgbox_recorder.h"
#include "sender_dialog.h"
#include "test_dir.h"
#include "waitstep.h"

namespace {

const char* const kQuestion =
    "Die Absenderangaben sind nicht vollständig!\nMöchten Sie diese jetzt eingeben?";

// A receiving station that answers as scripted. Its dial waits in wait
// steps until dialDone holds, as the link does while the call is set up.
struct ScriptedStation {
    unsigned short connect = 0, reason = 0;
    std::string reply;
    std::function<bool()> dialDone;
    bool dialWaitEnded = false;
    std::vector<std::string> calls;
    std::string commandLine;
};

class ScriptedLink : public NoteLink {
public:
    explicit ScriptedLink(ScriptedStation& s) : s_(s) {}
    unsigned short Connect(const std::string& number, const std::string&,
                           unsigned long steps) override {
        s_.calls.push_back("Connect " + number);
        if (s_.dialDone) s_.dialWaitEnded = WaitSteps(steps, news_, s_.dialDone);
        return s_.connect;
    }
    unsigned short Disconnect(unsigned long) override { return 0; }
    std::string DisconnectInfo(unsigned short& reason) override {
        reason = s_.reason;
        return "";
    }
    unsigned short RequestId() override { return 0; }
    unsigned short GetServerVersion(int& version) override {
        version = 1;
        return 0;
    }
    unsigned short ExecRemCmd(const std::string& line) override {
        s_.commandLine = line;
        return 0;
    }
    unsigned short RemoteResult() override { return 0; }
    std::string ResponseText() override { return s_.reply; }
    std::string ErrorText(unsigned short code) override { return std::to_string(code); }

private:
    ScriptedStation& s_;
    WaitNews news_;
};

// What the dialog showed when a status text came.
struct Shown {
    std::string text;
    QString area;
    bool closeEnabled;
    bool stillOpenAfterClose;
};

class SendDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallGuiWaitStepHook();
        dir_.Put("Telvora.cfg",
                 "[Sender]\nname=Anna Alt\ntelephone=0221 4711\nmsn=4711\nisdnPrefix=0\n");
    }
    void TearDown() override { SetWaitStepHook({}); }

    CSendDlg::SendFunction Send() {
        return [this](SendProgress& p) {
            NoteSender sender(
                settings_, [this] { return std::make_unique<ScriptedLink>(station_); },
                "Telvora 1.0");
            return sender.Send({"030/123 45-67", "Treffen", "Hallo Bernd"}, p);
        };
    }
    // Records each status and tries to close the dialog while it is shown.
    void WatchStatus(CSendDlg& dlg) {
        dlg.SetStatusShownHook([this, &dlg](const std::string& text) {
            Shown s{text, Area(dlg), Widget<QPushButton>(dlg, "close")->isEnabled(), false};
            dlg.close();
            QTest::keyClick(&dlg, Qt::Key_Escape);
            s.stillOpenAfterClose = dlg.isVisible();
            shown_.push_back(s);
        });
    }
    template <typename W>
    static W* Widget(const QWidget& dlg, const char* name) {
        return dlg.findChild<W*>(QString::fromLatin1(name));
    }
    static QString Area(const CSendDlg& dlg) {
        return Widget<QPlainTextEdit>(dlg, "status")->toPlainText();
    }
    static QString Label(const CSendDlg& dlg, const char* name) {
        return Widget<QLabel>(dlg, name)->text();
    }

    TestDir dir_;
    SettingsFile settings_{dir_.File("Telvora.cfg")};
    ScriptedStation station_;
    MessageBoxRecorder boxes_;
    std::vector<Shown> shown_;
};

TEST_F(SendDialogTest, ASendShowsEachStepAndTheReceiversReply) {
    station_.reply = "Bin im Urlaub\r\nbis Montag";
    CSendDlg dlg(settings_);
    WatchStatus(dlg);
    ASSERT_TRUE(dlg.Start(Send()));

    std::vector<std::string> texts;
    for (const Shown& s : shown_) {
        texts.push_back(s.text);
        EXPECT_EQ(s.area, QString::fromStdString(s.text) + "\n");
        EXPECT_FALSE(s.closeEnabled) << s.text;
        EXPECT_TRUE(s.stillOpenAfterClose) << s.text;
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Verbindungsaufbau (00301234567) ...",
                                               "Gegenstelle identifizieren...", "Sende Notiz...",
                                               "Verbindungsabbau..."}));
    EXPECT_EQ(Label(dlg, "result"), "Notiz wurde gesendet!");
    EXPECT_EQ(Label(dlg, "caption"), "Empfängermitteilung:");
    EXPECT_EQ(Area(dlg), "Bin im Urlaub\nbis Montag");
    EXPECT_EQ(settings_.Read(cfg::kNotesSent), "1");

    // The report stays until the user closes it.
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(Widget<QPushButton>(dlg, "close")->isEnabled());
    Widget<QPushButton>(dlg, "close")->click();
    EXPECT_FALSE(dlg.isVisible());
    dlg.WaitForClose();  // returns at once
}

TEST_F(SendDialogTest, ABusyReceiverIsReportedAsFailureAndNotCounted) {
    station_.connect = 2;
    station_.reason = 0x3491;
    CSendDlg dlg(settings_);
    WatchStatus(dlg);
    EXPECT_FALSE(dlg.Start(Send()));
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_FALSE(shown_[1].closeEnabled);
    EXPECT_EQ(Area(dlg), "Die gewählte Rufnummer ist besetzt! Versuchen Sie es später nochmal.\n");
    EXPECT_EQ(Label(dlg, "caption"), "Status:");
    EXPECT_EQ(Label(dlg, "result"), "Notiz konnte nicht gesendet werden!");
    EXPECT_TRUE(Widget<QPushButton>(dlg, "close")->isEnabled());
    EXPECT_EQ(settings_.Read(cfg::kNotesSent), "0");
    // After the report the title bar closes it.
    dlg.close();
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(SendDialogTest, TheWindowHandlesEventsWhileTheLinkWaits) {
    bool fired = false;
    bool sending = false;
    CSendDlg dlg(settings_);
    QTimer::singleShot(0, [&] {
        fired = true;
        sending = dlg.Sending();
    });
    station_.dialDone = [&] { return fired; };
    ASSERT_TRUE(dlg.Start(Send()));
    EXPECT_TRUE(station_.dialWaitEnded);
    EXPECT_TRUE(sending);
}

TEST_F(SendDialogTest, RunLastsUntilTheUserClosesOrTheApplicationQuits) {
    QWidget window;
    bool sawReport = false;
    auto closeWhenReported = [&] {
        for (auto* dlg : window.findChildren<CSendDlg*>()) {
            auto* close = Widget<QPushButton>(*dlg, "close");
            sawReport = close->isEnabled() && !dlg->Sending();
            close->click();
        }
    };
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, closeWhenReported);
    clicker.start(20);
    EXPECT_TRUE(CSendDlg::Run(&window, settings_, Send()));
    clicker.stop();
    EXPECT_TRUE(sawReport);
    EXPECT_TRUE(window.findChildren<CSendDlg*>().isEmpty());

    QElapsedTimer elapsed;
    elapsed.start();
    QTimer::singleShot(50, [] { SignalGuiQuit(); });
    EXPECT_TRUE(CSendDlg::Run(&window, settings_, Send()));
    EXPECT_LT(elapsed.elapsed(), 2000);
    InstallGuiWaitStepHook();
}

TEST_F(SendDialogTest, TheSendGoesOnWhenTheMainWindowGoesAway) {
    auto* window = new QWidget;
    station_.dialDone = [&] { return window == nullptr; };
    QTimer::singleShot(0, [&] {
        delete window;
        window = nullptr;
    });
    EXPECT_TRUE(CSendDlg::Run(window, settings_, Send()));
    EXPECT_EQ(settings_.Read(cfg::kNotesSent), "1");
}

class SenderDataTest : public SendDialogTest {
protected:
    void SetUp() override {
        SendDialogTest::SetUp();
        dir_.Put("Telvora.cfg", "[Sender]\ntelephone=0221 4711\nmsn=4711\n");
        before_ = dir_.Get("Telvora.cfg");
    }
    static void Fill(CSenderDlg& d, const TextSetting& s, const QString& text) {
        d.Field(s)->setText(text);
    }
    static void Press(CSenderDlg& d, QDialogButtonBox::StandardButton b) {
        d.findChild<QDialogButtonBox*>()->button(b)->click();
    }
    std::string before_;
};

TEST_F(SenderDataTest, NoToTheQuestionEndsTheSendWithoutAReport) {
    boxes_.QueueAnswer(IDNO);
    CSendDlg dlg(settings_);
    EXPECT_FALSE(dlg.Start(Send()));
    ASSERT_EQ(boxes_.Count(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text, kQuestion);
    EXPECT_EQ(boxes_.Calls()[0].type, unsigned{MB_YESNO | MB_ICONEXCLAMATION});
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(Label(dlg, "result"), "");
    EXPECT_TRUE(station_.calls.empty());
}

TEST_F(SenderDataTest, EnteredDataIsStoredAndTheSendGoesOn) {
    boxes_.QueueAnswer(IDYES);
    CSendDlg dlg(settings_);
    dlg.SetSenderDialogHook([](CSenderDlg& d) {
        EXPECT_EQ(d.windowTitle(), "Absenderangaben");
        EXPECT_EQ(d.Field(cfg::kSenderTelephone)->text(), "0221 4711");
        Fill(d, cfg::kSenderName, "  Anna Neu ");
        Fill(d, cfg::kSenderMsn, "4712");
        Press(d, QDialogButtonBox::Ok);
    });
    ASSERT_TRUE(dlg.Start(Send()));
    EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{kQuestion});
    EXPECT_EQ(settings_.Read(cfg::kSenderName), "Anna Neu");
    EXPECT_EQ(settings_.Read(cfg::kSenderMsn), "4712");
    EXPECT_EQ(station_.commandLine,
              "rawNote 1.1|Telvora 1.0||0221 4711|Anna Neu|Treffen|Hallo Bernd");
    // What the user left alone is not written, not even as an empty key.
    EXPECT_EQ(dir_.Get("Telvora.cfg").find("isdnPrefix"), std::string::npos);
    EXPECT_EQ(Label(dlg, "result"), "Notiz wurde gesendet!");
}

TEST_F(SenderDataTest, CancelWritesNothingAndEndsTheSend) {
    boxes_.QueueAnswer(IDYES);
    CSendDlg dlg(settings_);
    dlg.SetSenderDialogHook([](CSenderDlg& d) {
        Fill(d, cfg::kSenderName, "Anna Neu");
        Fill(d, cfg::kIsdnPrefix, "0");
        Press(d, QDialogButtonBox::Cancel);
    });
    EXPECT_FALSE(dlg.Start(Send()));
    EXPECT_EQ(dir_.Get("Telvora.cfg"), before_);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(station_.calls.empty());
}

TEST_F(SenderDataTest, OverlongDataIsRefusedWithAMessage) {
    boxes_.QueueAnswer(IDYES);
    const QString longest(255, QChar(0x00E4));  // two bytes each in the file
    bool stayedOpen = false;
    CSendDlg dlg(settings_);
    dlg.SetSenderDialogHook([&](CSenderDlg& d) {
        Fill(d, cfg::kSenderName, longest + "x");
        Press(d, QDialogButtonBox::Ok);
        stayedOpen = d.isVisible();
        Fill(d, cfg::kSenderName, longest);
        Press(d, QDialogButtonBox::Ok);
    });
    ASSERT_TRUE(dlg.Start(Send()));
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(boxes_.Count(), 2u);
    EXPECT_EQ(boxes_.Calls()[1].text,
              "Die Angabe \"Name\" ist zu lang. Erlaubt sind höchstens 255 Zeichen.");
    EXPECT_EQ(QString::fromStdString(settings_.Read(cfg::kSenderName)), longest);
}

}  // namespace
