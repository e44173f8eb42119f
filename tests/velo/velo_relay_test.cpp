// A relay profile made in velo's editor forwards a received note: the
// notify and relay threads hand it to the real relay program, which mails
// it to a real SMTP server, and the note ends in "RelayedNotes".
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRadioButton>

#include "config_keys.h"
#include "mail_test_support.h"
#include "note_folders.h"
#include "note_handoff.h"
#include "notify_thread.h"
#include "quorlin_test_support.h"
#include "relay_profile_dialog.h"
#include "relay_thread.h"
#include "test_dir.h"
#include "velo_doc.h"

namespace {

TEST(VeloRelay, AnEmailProfileMadeInTheEditorForwardsAReceivedNote) {
    mailtest::SmtpTestServer smtp;
    ASSERT_TRUE(smtp.Started()) << smtp.ErrorOutput();
    TestDir dir;
    dir.Put("Telvora.cfg", "[RelayNote]\nrelay=1\n");
    SettingsFile settings(dir.File("Telvora.cfg"));

    CRelayProfileDlg editor(settings, 0, relay_op::kMail);
    editor.NameEdit()->setText(QStringLiteral("Büro"));
    editor.ServerEdit()->setText(QStringLiteral("127.0.0.1"));
    editor.PortEdit()->setText(QString::number(smtp.Port()));
    editor.SenderEdit()->setText(QStringLiteral("station@example.de"));
    editor.ToEdit()->setText(QStringLiteral("chef@example.org"));
    editor.LanButton()->setChecked(true);
    editor.accept();
    ASSERT_GT(editor.ProfileId(), 0);
    settings.Write(cfg::kRelayNoteKeys.profile, editor.ProfileId());

    CVeloDoc doc(dir.Path(), dir.File("Telvora.cfg"));
    ASSERT_TRUE(doc.Open());
    RelayDispatcher dispatcher(dir.File("Telvora.cfg"), TELVORA_PROGRAM_DIR, nullptr, dir.Path());
    CRelayThread relay(doc, dispatcher);
    relay.Start();
    CNotifyThread notify(doc);
    notify.SetRelay(&relay);
    ASSERT_TRUE(HandOverItem(doc.NotesFile(), "InNotes",
                             "-1|0|1018880000|0|||3|1018880000|Hans Huber|0301|Rückruf|"));
    notify.Pass();

    std::vector<mailtest::MailRecord> mails = smtp.Messages(1, std::chrono::seconds(20));
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].Text("subject"), "Rückruf");
    EXPECT_EQ(mails[0].List("rcpt_tos"), std::vector<std::string>{"chef@example.org"});
    ASSERT_TRUE(WaitUntil(
        [&] {
            notify.Pass();
            std::lock_guard<std::recursive_mutex> lock(doc.Lock());
            return doc.Folder(kRelayedNotes).Items().size() == 1;
        },
        10s));
    relay.Stop();
    EXPECT_EQ(doc.Folder(kRelayedNotes).Items()[0].Number(NoteItem::kState), kStateRelayed);
    doc.Close();
}

}  // namespace
