// velo's window sends an e-mail note to a real SMTP server: the mail dialog
// while it runs and its end state.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "folder_view.h"
#include "mail_dialog.h"
#include "mail_test_support.h"
#include "main_frame.h"
#include "mobile_networks.h"
#include "note_folders.h"
#include "note_list_view.h"
#include "quorlin_test_support.h"
#include "test_dir.h"
#include "velo_doc.h"

namespace {

TEST(VeloMail, TheMailDialogShowsEachStepAndTheEndState) {
    mailtest::SmtpTestServer server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    TestDir dir;
    WriteFile(dir.File("Telvora.cfg"),
              "[EmailServer]\nprofile=1\n[RelayProfiles]\nItems=1\nitem-001=1|1|Büro|127.0.0.1:" +
                  std::to_string(server.Port()) + "|anna@example.de||||0\n");
    CVeloDoc doc(dir.Path(), dir.File("Telvora.cfg"));
    ASSERT_TRUE(doc.Open());
    NoteItem note;
    note.SetNumber(NoteItem::kType, note_kind::kEmail);
    note.Set(NoteItem::kName, "Bernd Berg");
    note.Set(NoteItem::kAddress, "bernd@example.org");
    note.Set(NoteItem::kSubject, "Grüße");
    auto stored = doc.CreateItem(note, kSendNotes, "Bis morgen!\n");
    ASSERT_TRUE(stored);

    std::vector<std::string> statuses;
    bool okWhileSending = false;
    QString heading, lastStatus;
    MainFrameServices services{dir.File("Telvora.cfg"), nullptr, "Telvora (velo test)", nullptr,
                               {}};
    services.onMailDialog = [&](CMailDlg& dialog) {
        dialog.SetStatusShownHook([&](const std::string& s) {
            statuses.push_back(s);
            okWhileSending |= dialog.findChild<QPushButton*>("ok")->isEnabled();
        });
        auto* poll = new QTimer(&dialog);
        QObject::connect(poll, &QTimer::timeout, &dialog, [&] {
            auto* ok = dialog.findChild<QPushButton*>("ok");
            if (!ok->isEnabled()) return;
            heading = dialog.findChild<QLabel*>("heading")->text();
            lastStatus = dialog.findChild<QPlainTextEdit*>("status")->toPlainText();
            ok->click();
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

    EXPECT_FALSE(okWhileSending);
    ASSERT_EQ(statuses.size(), 3u);
    EXPECT_EQ(statuses[1], "EMail an Bernd Berg <bernd@example.org> senden...");
    EXPECT_EQ(heading, "Email wurde gesendet!");
    EXPECT_EQ(lastStatus, "EMail an Bernd Berg <bernd@example.org> wurde gesendet!");
    auto mails = server.Messages(1);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].Text("subject"), "Grüße");
    EXPECT_TRUE(doc.Folder(kSendNotes).Items().empty());
    EXPECT_EQ(doc.Folder(kOutNotes).Items().size(), 1u);
    frame.close();
    doc.Close();
}

}  // namespace
