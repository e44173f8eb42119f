// The settings window: every page on a fresh installation, what OK writes
// and what it refuses, and a Cancel that writes nothing.
#include "settings_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "msgbox_recorder.h"
#include "settings_file.h"
#include "test_dir.h"

namespace {

class SettingsDlgTest : public ::testing::Test {
protected:
    std::string Config() const { return dir_.File("Telvora.cfg"); }
    TestDir dir_;
    MessageBoxRecorder boxes_;
};

TEST_F(SettingsDlgTest, AFreshInstallationOpensEveryPageAndOkWritesNothing) {
    CVeloSettingsDlg dialog(Config(), dir_.Path());
    auto tree = dialog.Tree();
    ASSERT_EQ(tree.size(), 7u);
    EXPECT_EQ(tree[0].first, "Allgemein");
    EXPECT_EQ(tree[0].second, (QStringList{"TrayIcon", "Signatur"}));
    EXPECT_EQ(tree[4].second, (QStringList{"D1", "D2", "E-Plus"}));
    EXPECT_EQ(dialog.CurrentPage()->findChild<QLabel*>("title")->text(), "Telvora Optionen");
    for (const auto& [group, pages] : tree) {
        ASSERT_TRUE(dialog.SelectPage(group, ""));
        for (const QString& page : pages) ASSERT_TRUE(dialog.SelectPage(group, page)) << page.toStdString();
    }
    ASSERT_TRUE(dialog.SelectPage("EMAIL", "Server-Profile"));
    EXPECT_FALSE(dialog.CurrentPage()->findChild<QComboBox*>("profile")->isEnabled());
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_NE(access(Config().c_str(), F_OK), 0) << "nothing changed, nothing written";
    EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(SettingsDlgTest, TheSignatureIsRefusedOverTwoHundredFiftySixCharactersAndWrittenToItsFile) {
    CVeloSettingsDlg dialog(Config(), dir_.Path());
    ASSERT_TRUE(dialog.SelectPage("Allgemein", "Signatur"));
    QWidget* page = dialog.CurrentPage();
    auto radios = page->findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2u);
    radios[1]->setChecked(true);
    auto* text = page->findChild<QPlainTextEdit*>("signature");
    text->setPlainText(QString(257, QChar(0xE4)));
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"Signaturtext ist zu lang!\nMax. 256 Zeichen zugelassen"});
    EXPECT_NE(access(Config().c_str(), F_OK), 0);
    text->setPlainText(QStringLiteral("Gruß, Anna"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    SettingsFile settings(Config());
    EXPECT_EQ(settings.Read(cfg::kSignatureFile), "Signature.txt");
    EXPECT_EQ(settings.Read(cfg::kSignatureFlag), 1);
    EXPECT_EQ(dir_.Get("Signature.txt"), "Gruß, Anna");
}

TEST_F(SettingsDlgTest, TheReplyMessageGoesToTheFileOfItsId) {
    dir_.Put("Telvora.cfg", "[Parameters]\nrespMsgID=2\n");
    CVeloSettingsDlg dialog(Config(), dir_.Path());
    ASSERT_TRUE(dialog.SelectPage("Notizen", "Mitteilungstext"));
    dialog.CurrentPage()->findChild<QPlainTextEdit*>("replyMessage")->setPlainText(
        QStringLiteral("Danke, ich melde mich."));
    dialog.accept();
    EXPECT_EQ(SettingsFile(Config()).ReadText("Parameters", "respMsg2", ""), "respMsg2.txt");
    EXPECT_EQ(dir_.Get("respMsg2.txt"), "Danke, ich melde mich.");
}

TEST_F(SettingsDlgTest, KeinAsTariffPlanStoresAnEmptyValue) {
    dir_.Put("Telvora.cfg",
             "[Sender]\nNoteCallByCallTariffPlan=CBCT_01\n"
             "[CallByCallTariffPlan]\nItems=1\nitem-001=1|Immer|CBCT_01\n");
    CVeloSettingsDlg dialog(Config(), dir_.Path());
    ASSERT_TRUE(dialog.SelectPage("Notizen", "Absender & Call By Call"));
    auto* plan = dialog.CurrentPage()->findChild<QComboBox*>();
    ASSERT_EQ(plan->currentText(), "Immer");
    EXPECT_EQ(plan->itemText(0), "Kein");
    plan->setCurrentIndex(0);
    dialog.accept();
    EXPECT_EQ(SettingsFile(Config()).Read(cfg::kNoteTariffPlan), "");
}

TEST_F(SettingsDlgTest, TheServerPageShowsTheProfileAndCancelWritesNothing) {
    dir_.Put("Telvora.cfg",
             "[EmailServer]\nprofile=9\n[RelayProfiles]\nItems=2\n"
             "item-001=2|3|Handy|0193|0170|0|3||\n"
             "item-002=5|1|Büro|mail.example.de:587|anna@example.de|||DSL|0\n");
    std::string before = dir_.Get("Telvora.cfg");
    {
        CVeloSettingsDlg dialog(Config(), dir_.Path());
        ASSERT_TRUE(dialog.SelectPage("EMAIL", "Server-Profile"));
        QWidget* page = dialog.CurrentPage();
        EXPECT_EQ(page->findChild<QComboBox*>("profile")->currentText(), "Büro");
        EXPECT_EQ(page->findChild<QLabel*>("server")->text(), "SMTP-Server:\tmail.example.de:587");
        EXPECT_EQ(page->findChild<QLabel*>("sender")->text(), "Email-Adresse:\tanna@example.de");
        EXPECT_EQ(page->findChild<QLabel*>("connection")->text(),
                  "Verbindung:\tLokales Netzwerk (LAN)");
        dialog.reject();
    }
    EXPECT_EQ(dir_.Get("Telvora.cfg"), before);
    // OK keeps the first e-mail profile, which the stored id did not name.
    CVeloSettingsDlg dialog(Config(), dir_.Path());
    dialog.accept();
    EXPECT_EQ(SettingsFile(Config()).Read(cfg::kEmailServerProfile), 5);
}

}  // namespace
