#include "template_profile_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>

#include "config_keys.h"
#include "item_list.h"
#include "msgbox_recorder.h"
#include "relay_template.h"
#include "test_dir.h"

namespace {

class TemplateProfileDlgTest : public ::testing::Test {
protected:
    std::vector<ListItem> Templates() const {
        ItemList list(cfg::kTemplateProfileFields);
        list.Load(settings_, cfg::kTemplateProfiles);
        return list.Items();
    }

    TestDir dir_;
    SettingsFile settings_{dir_.File("Telvora.cfg")};
    MessageBoxRecorder boxes_;
};

TEST_F(TemplateProfileDlgTest, ShowsTheHelpTextReadOnly) {
    CTemplateProfileDlg dlg(settings_, 0);
    QString help = dlg.HelpView()->toPlainText();
    EXPECT_TRUE(help.startsWith(QStringLiteral("Sie können folgende Schlüsselwörte verwenden:")));
    EXPECT_TRUE(help.contains(QStringLiteral("'n': gültig für ISDN-Notizen")));
    EXPECT_TRUE(help.contains(QStringLiteral("'a': gültig für Anrufe")));
    for (const char* p : {"%PROGRAMM%", "%DIENST%", "%MSN%", "%DATUM%", "%UHRZEIT%", "%NAME%",
                          "%NUMMER%", "%BETREFF%", "%TEXT%"})
        EXPECT_TRUE(help.contains(QString::fromLatin1(p))) << p;
    EXPECT_TRUE(dlg.HelpView()->isReadOnly());
}

TEST_F(TemplateProfileDlgTest, NewTemplateIsWhatTheRelayLoads) {
    CTemplateProfileDlg dlg(settings_, 0);
    dlg.NameEdit()->setText("Kurz");
    dlg.SubjectEdit()->setText("Notiz von %NAME%");
    dlg.TextEdit()->setText("%NAME%: %TEXT%");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    ASSERT_EQ(Templates().size(), 1u);
    RelayTemplate t = LoadRelayTemplate(settings_, dlg.ProfileId());
    EXPECT_EQ(t.name, "Kurz");
    EXPECT_EQ(t.subject, "Notiz von %NAME%");
    EXPECT_EQ(t.text, "%NAME%: %TEXT%");
    CTemplateProfileDlg again(settings_, dlg.ProfileId());
    EXPECT_EQ(again.SubjectEdit()->text(), QStringLiteral("Notiz von %NAME%"));
    EXPECT_EQ(again.TextEdit()->text(), QStringLiteral("%NAME%: %TEXT%"));
}

TEST_F(TemplateProfileDlgTest, ABarStaysInItsField) {
    CTemplateProfileDlg dlg(settings_, 0);
    dlg.NameEdit()->setText("A|B");
    dlg.SubjectEdit()->setText("%MSN% | %NAME%");
    dlg.TextEdit()->setText("%TEXT%");
    dlg.accept();
    RelayTemplate t = LoadRelayTemplate(settings_, dlg.ProfileId());
    EXPECT_EQ(t.name, "A|B");
    EXPECT_EQ(t.subject, "%MSN% | %NAME%");
    EXPECT_EQ(t.text, "%TEXT%");
    CTemplateProfileDlg again(settings_, dlg.ProfileId());
    EXPECT_EQ(again.SubjectEdit()->text(), QStringLiteral("%MSN% | %NAME%"));
}

TEST_F(TemplateProfileDlgTest, CancelAndUnchangedOkWriteNothing) {
    const std::string file = "[TemplateProfiles]\nItems=1\nitem-001=2|x|Lang|7|%BETREFF%|%TEXT%\n";
    dir_.Put("Telvora.cfg", file);
    {
        CTemplateProfileDlg dlg(settings_, 2);
        dlg.SubjectEdit()->setText("anders");
        dlg.reject();
    }
    EXPECT_EQ(dir_.Get("Telvora.cfg"), file);
    {
        CTemplateProfileDlg dlg(settings_, 2);
        dlg.accept();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(dir_.Get("Telvora.cfg"), file);
    {
        CTemplateProfileDlg dlg(settings_, 2);
        dlg.SubjectEdit()->setText("Neu: %BETREFF%");
        dlg.accept();
    }
    EXPECT_EQ(Templates()[0].fields,
              (std::vector<std::string>{"x", "Lang", "7", "Neu: %BETREFF%", "%TEXT%"}));
}

TEST_F(TemplateProfileDlgTest, ANameIsRequired) {
    CTemplateProfileDlg dlg(settings_, 0);
    dlg.SubjectEdit()->setText("%BETREFF%");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(boxes_.Texts(),
              std::vector<std::string>{"Bitte geben Sie einen Namen für die Vorlage ein."});
    EXPECT_TRUE(Templates().empty());
}

}  // namespace
