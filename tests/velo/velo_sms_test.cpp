// velo's window sends all D1 SMS notes of SendNotes on one call to
// capisim's TAP centre: the progress dialog while it runs and afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "capisim_process.h"
#include "corvane.h"
#include "folder_view.h"
#include "main_frame.h"
#include "mobile_networks.h"
#include "note_folders.h"
#include "quorlin_test_support.h"
#include "settings_file.h"
#include "sms_centre_link.h"
#include "sms_dialog.h"
#include "test_dir.h"
#include "velo_doc.h"

namespace {

constexpr const char* kSmsCentre = "01712521002";

class VeloSmsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(capisim_.Start({"--line", "A:0:02211111", "--sms-centre",
                                    std::string(kSmsCentre) + "=sms-tap nak@2", "--sms-log",
                                    dir_.File("sms.jsonl")}))
            << capisim_.Error();
        for (const auto& [key, value] : CallerEnvironment(dir_.Path(), "A", capisim_.Port("A")))
            setenv(key.c_str(), value.c_str(), 1);
        install_ = dir_.File("A/install");
        WriteFile(install_ + "/Telvora.cfg", std::string("[Sender]\nmsn=02211111\n[Parameters]\n") +
                                                 "D1SMSCenter=" + kSmsCentre + "\n");
        ASSERT_TRUE(RCOInitLinkDLL(TRUE));
    }
    void TearDown() override { RCOExitLinkDLL(); }

    TestDir dir_;
    capitest::CapisimProcess capisim_;
    std::string install_;
};

TEST_F(VeloSmsTest, TheProgressDialogShowsEachStepAndThenTheResult) {
    CVeloDoc doc(install_, install_ + "/Telvora.cfg");
    ASSERT_TRUE(doc.Open());
    for (const char* text : {"eins", "zwei", "drei"}) {
        NoteItem note(std::time(nullptr) + text[0]);
        note.SetNumber(NoteItem::kType, static_cast<int>(NoteType::D1Sms));
        note.Set(NoteItem::kNumber, "0170 1234567");
        ASSERT_TRUE(doc.CreateItem(note, kSendNotes, text));
    }

    std::vector<std::string> statuses;
    std::vector<QString> shownDuring;
    bool closableWhileSending = false, modal = true;
    QString result, label, message;
    MainFrameServices services{install_ + "/Telvora.cfg", nullptr, "Telvora (velo test)", nullptr,
                               {}};
    services.makeSmsLink = CentreSmsLinkFactory(nullptr, 2);
    services.onSmsDialog = [&](CSendSMSDlg& dialog) {
        modal = dialog.isModal();
        dialog.SetStatusShownHook([&](const std::string& s) {
            statuses.push_back(s);
            // What the user sees at that moment, drawn at once.
            shownDuring.push_back(dialog.findChild<QLabel*>("status")->text());
            closableWhileSending |= dialog.findChild<QPushButton*>("close")->isEnabled();
        });
        auto* poll = new QTimer(&dialog);
        QObject::connect(poll, &QTimer::timeout, &dialog, [&] {
            auto* close = dialog.findChild<QPushButton*>("close");
            if (!close->isEnabled()) return;
            result = dialog.findChild<QLabel*>("result")->text();
            label = dialog.findChild<QLabel*>("messageLabel")->text();
            message = dialog.findChild<QLabel*>("message")->text();
            close->click();
        });
        poll->start(50);
    };
    CMainFrame frame(doc, services);
    frame.RestoreLayout();
    frame.show();
    frame.Folders()->SelectFolder(kSendNotes);
    QApplication::processEvents();
    frame.SendAllSms(note_kind::kD1Sms);

    EXPECT_FALSE(modal);
    EXPECT_FALSE(closableWhileSending);
    EXPECT_EQ(statuses,
              (std::vector<std::string>{
                  "Verbindungsaufbau zum SMS-Center (01712521002) ...", "Anmelden...",
                  "Sende SMS-Nachricht an 01701234567...", "211 Message accepted",
                  "Sende SMS-Nachricht an 01701234567...",
                  "SMS-Nachricht konnte nicht gesendet werden! Grund: [510 Message rejected]",
                  "Sende SMS-Nachricht an 01701234567...", "211 Message accepted", "Abmelden...",
                  "Verbindungsabbau..."}));
    ASSERT_EQ(shownDuring.size(), statuses.size());
    EXPECT_EQ(shownDuring[1], "Anmelden...");
    EXPECT_EQ(result, "SMS-Nachricht wurde gesendet!");
    EXPECT_EQ(label, "SMS-Meldung:");
    EXPECT_EQ(message,
              "2 SMS-Nachricht(en) wurde(n) gesendet.1 SMS-Nachricht(en) konnte(n) nicht "
              "gesendet werden.");
    EXPECT_EQ(doc.Folder(kOutNotes).Items().size(), 2u);
    EXPECT_EQ(doc.Folder(kSendNotes).Items().size(), 1u);
    EXPECT_EQ(SettingsFile(install_ + "/Telvora.cfg").Read(cfg::kSmsSent), "1");
    frame.close();
    doc.Close();
}

}  // namespace
