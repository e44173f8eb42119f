// The window of the forwarding profiles: new, edit and delete through the
// editors, as Telvora.cfg then holds them.
#include "profile_lists_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTreeWidget>

#include "filter_profile_dialog.h"
#include "item_list.h"
#include "msgbox_recorder.h"
#include "relay_profile_dialog.h"
#include "template_profile_dialog.h"
#include "test_dir.h"

namespace {

std::vector<std::string> Names(const QTreeWidget* list) {
    std::vector<std::string> names;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        names.push_back(list->topLevelItem(i)->text(0).toStdString());
    return names;
}

TEST(ProfileListsDlg, ProfilesAreMadeEditedAndDeletedThroughTheEditors) {
    TestDir dir;
    MessageBoxRecorder boxes;
    dir.Put("Telvora.cfg",
            "[RelayProfiles]\nItems=1\nitem-001=4|2|Datei|/tmp/notizen.txt|\n"
            "[TemplateProfiles]\nItems=1\nitem-001=1|x|Standard|0|%BETREFF%|%TEXT%\n");
    CProfileListsDlg dialog(dir.File("Telvora.cfg"));
    EXPECT_EQ(Names(dialog.List(CProfileListsDlg::kRelayPage)), std::vector<std::string>{"Datei"});
    EXPECT_EQ(dialog.List(CProfileListsDlg::kRelayPage)->topLevelItem(0)->text(1), "Datei");
    EXPECT_EQ(Names(dialog.List(CProfileListsDlg::kTemplatePage)),
              std::vector<std::string>{"Standard"});

    // A new template, named in its editor.
    dialog.SetEditorHook([](QDialog& editor) {
        auto* t = qobject_cast<CTemplateProfileDlg*>(&editor);
        ASSERT_TRUE(t);
        t->findChildren<QLineEdit*>()[0]->setText(QStringLiteral("Kurz | knapp"));
        editor.accept();
    });
    dialog.NewProfile(CProfileListsDlg::kTemplatePage);
    EXPECT_EQ(Names(dialog.List(CProfileListsDlg::kTemplatePage)),
              (std::vector<std::string>{"Standard", "Kurz | knapp"}));

    // Edited and cancelled: nothing changes.
    std::string before = dir.Get("Telvora.cfg");
    dialog.SetEditorHook([](QDialog& editor) { editor.reject(); });
    dialog.EditProfile(CProfileListsDlg::kRelayPage);
    EXPECT_EQ(dir.Get("Telvora.cfg"), before);

    // Deleted after the question, and only after a yes.
    boxes.QueueAnswer(IDNO);
    dialog.DeleteProfile(CProfileListsDlg::kRelayPage);
    EXPECT_EQ(dir.Get("Telvora.cfg"), before);
    boxes.QueueAnswer(IDYES);
    dialog.DeleteProfile(CProfileListsDlg::kRelayPage);
    EXPECT_EQ(boxes.Texts().back(), "Soll das Profil 'Datei' gelöscht werden?");
    EXPECT_TRUE(Names(dialog.List(CProfileListsDlg::kRelayPage)).empty());
    ItemList relay(cfg::kRelayProfileFields);
    ASSERT_TRUE(relay.Load(SettingsFile(dir.File("Telvora.cfg")), cfg::kRelayProfiles));
    EXPECT_TRUE(relay.Items().empty());
}

}  // namespace
