#include "relay_profile_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include "config_keys.h"
#include "item_list.h"
#include "msgbox_recorder.h"
#include "relay_dispatch.h"
#include "test_dir.h"

namespace {

class RelayProfileDlgTest : public ::testing::Test {
protected:
    // The dialog never asks nmcli here: the lister counts its calls.
    CRelayProfileDlg::EntryLister Lister(std::vector<std::string> names, bool ok = true) {
        return [this, names, ok](std::vector<std::string>& out) {
            ++listings_;
            out = names;
            return ok;
        };
    }
    std::vector<ListItem> Profiles() const {
        ItemList list(cfg::kRelayProfileFields);
        list.Load(settings_, cfg::kRelayProfiles);
        return list.Items();
    }
    // The parameter file's value of key after the dispatch read profile id.
    std::string Param(int id, const char* key) {
        settings_.Write(cfg::kRelayNoteKeys.profile, id);
        std::string params = dir_.File("params.cfg");
        std::remove(params.c_str());
        dispatched_ = RelayDispatcher::SetServiceParameters(settings_, params, cfg::kRelayNote,
                                                            "Betreff", 7);
        return SettingsFile(params).ReadText("RelayParameters", key, "<none>");
    }

    TestDir dir_;
    SettingsFile settings_{dir_.File("Telvora.cfg")};
    MessageBoxRecorder boxes_;
    int listings_ = 0;
    bool dispatched_ = false;
};

// --- the e-mail profile ---

TEST_F(RelayProfileDlgTest, NewMailProfileIsWrittenInTheDispatchOrder) {
    CRelayProfileDlg dlg(settings_, 0, relay_op::kMail, nullptr, Lister({}));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Weiterleiten an Email (Windows Sockets)"));
    EXPECT_EQ(dlg.PortEdit()->text(), QStringLiteral("25"));
    dlg.NameEdit()->setText("Büro");
    dlg.ServerEdit()->setText("mail.example.de");
    dlg.PortEdit()->setText("587");
    dlg.SenderEdit()->setText("anna@example.de");
    dlg.ToEdit()->setText("bert@example.de");
    dlg.CcEdit()->setText("chef@example.de");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(boxes_.Count(), 0u);
    auto items = Profiles();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].id, dlg.ProfileId());
    EXPECT_EQ(items[0].fields,
              (std::vector<std::string>{"1", "Büro", "mail.example.de:587", "anna@example.de",
                                        "bert@example.de", "chef@example.de", "", "0"}));
    EXPECT_EQ(listings_, 0) << "a LAN profile must not list the dial-up entries";

    EXPECT_EQ(Param(dlg.ProfileId(), "Host"), "mail.example.de");
    EXPECT_TRUE(dispatched_);
    EXPECT_EQ(Param(dlg.ProfileId(), "Port"), "587");
    EXPECT_EQ(Param(dlg.ProfileId(), "From"), "anna@example.de");
    EXPECT_EQ(Param(dlg.ProfileId(), "Cc"), "chef@example.de");
    EXPECT_EQ(Param(dlg.ProfileId(), "ConnectionMode"), "0");
}

TEST_F(RelayProfileDlgTest, DefaultPortIsNotWrittenAndAStoredServerIsShownSplit) {
    dir_.Put("Telvora.cfg", "[RelayProfiles]\nItems=1\nitem-001=4|1|Mail|smtp.x.de:2525|a@x|b@x|||0\n");
    CRelayProfileDlg dlg(settings_, 4, relay_op::kFile, nullptr, Lister({}));
    EXPECT_EQ(dlg.Operation(), relay_op::kMail) << "the stored operation wins";
    EXPECT_EQ(dlg.ServerEdit()->text(), QStringLiteral("smtp.x.de"));
    EXPECT_EQ(dlg.PortEdit()->text(), QStringLiteral("2525"));
    dlg.PortEdit()->setText("25");
    dlg.accept();
    EXPECT_EQ(Profiles()[0].fields[2], "smtp.x.de");
}

TEST_F(RelayProfileDlgTest, ConnectionModeIsShownAsStored) {
    dir_.Put("Telvora.cfg",
             "[RelayProfiles]\nItems=3\n"
             "item-001=1|1|Lan|h|a@x|b@x||Alt|0\n"
             "item-002=2|1|Both|h|a@x|b@x||T-Online|19\n"
             "item-003=3|1|Auto|h|a@x|b@x||T-Online|17\n");
    {
        CRelayProfileDlg dlg(settings_, 1, relay_op::kMail, nullptr, Lister({"T-Online"}));
        EXPECT_TRUE(dlg.LanButton()->isChecked());
        EXPECT_EQ(dlg.LanButton()->text(), QStringLiteral("Lokales Netzwerk (LAN)"));
        EXPECT_FALSE(dlg.EntryBox()->isEnabled());
        EXPECT_FALSE(dlg.AutoDialBox()->isEnabled());
    }
    EXPECT_EQ(listings_, 0);
    {
        CRelayProfileDlg dlg(settings_, 2, relay_op::kMail, nullptr, Lister({"Büro", "T-Online"}));
        EXPECT_TRUE(dlg.DialUpButton()->isChecked());
        EXPECT_TRUE(dlg.AutoDialBox()->isChecked());
        EXPECT_TRUE(dlg.HangUpBox()->isChecked());
        EXPECT_EQ(dlg.AutoDialBox()->text(), QStringLiteral("Automatische Verbin&dung"));
        EXPECT_EQ(dlg.HangUpBox()->text(),
                  QStringLiteral("Verb&indung nach der Übermittlung trennen"));
        EXPECT_EQ(dlg.EntryBox()->currentText(), QStringLiteral("T-Online"));
        EXPECT_EQ(dlg.EntryBox()->count(), 2);
    }
    {
        CRelayProfileDlg dlg(settings_, 3, relay_op::kMail, nullptr, Lister({}));
        EXPECT_TRUE(dlg.AutoDialBox()->isChecked());
        EXPECT_FALSE(dlg.HangUpBox()->isChecked());
    }
}

TEST_F(RelayProfileDlgTest, ChoosingDialUpListsEntriesAndWritesTheMode) {
    dir_.Put("Telvora.cfg", "[RelayProfiles]\nItems=1\nitem-001=5|1|Mail|h|a@x|b@x|||0\n");
    CRelayProfileDlg dlg(settings_, 5, relay_op::kMail, nullptr, Lister({"Büro", "T-Online"}));
    EXPECT_EQ(listings_, 0);
    dlg.DialUpButton()->setChecked(true);
    EXPECT_EQ(listings_, 1);
    EXPECT_TRUE(dlg.EntryNote()->isHidden());
    dlg.EntryBox()->setCurrentIndex(dlg.EntryBox()->findText("T-Online"));
    dlg.HangUpBox()->setChecked(true);
    dlg.accept();
    auto f = Profiles()[0].fields;
    EXPECT_EQ(f[6], "T-Online");
    EXPECT_EQ(f[7], "18");
    EXPECT_EQ(Param(5, "dialUpEntry"), "T-Online");
    EXPECT_EQ(Param(5, "ConnectionMode"), "18");
}

TEST_F(RelayProfileDlgTest, WithoutNmcliANoteSaysWhyTheListIsEmpty) {
    CRelayProfileDlg dlg(settings_, 0, relay_op::kMail, nullptr, Lister({}, false));
    dlg.DialUpButton()->setChecked(true);
    EXPECT_FALSE(dlg.EntryNote()->isHidden());
    EXPECT_TRUE(dlg.EntryNote()->text().contains("nmcli"));
    EXPECT_EQ(dlg.EntryBox()->count(), 0);
    dlg.NameEdit()->setText("M");
    dlg.ServerEdit()->setText("h");
    dlg.SenderEdit()->setText("a@x");
    dlg.ToEdit()->setText("b@x");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"Bitte wählen Sie eine Verbindung aus."});
    EXPECT_TRUE(Profiles().empty());
}

// --- file and SMS profiles ---

TEST_F(RelayProfileDlgTest, FileProfileRoundTrips) {
    CRelayProfileDlg dlg(settings_, 0, relay_op::kFile, nullptr, Lister({}));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Weiterleiten in eine Datei"));
    dlg.NameEdit()->setText("Protokoll");
    dlg.FileEdit()->setText("/home/anna/notizen.txt");
    dlg.accept();
    ASSERT_EQ(Profiles().size(), 1u);
    EXPECT_EQ(Profiles()[0].fields[0], "2");
    EXPECT_EQ(Param(dlg.ProfileId(), "relayFile"), "/home/anna/notizen.txt");
    CRelayProfileDlg again(settings_, dlg.ProfileId(), relay_op::kMail, nullptr, Lister({}));
    EXPECT_EQ(again.FileEdit()->text(), QStringLiteral("/home/anna/notizen.txt"));
    EXPECT_EQ(again.NameEdit()->text(), QStringLiteral("Protokoll"));
}

TEST_F(RelayProfileDlgTest, SmsProfileGivesTheDispatchItsKeys) {
    dir_.Put("Telvora.cfg",
             "[Parameters]\nD2SMSCenter=01722278000\n"
             "[CallByCallTariffPlan]\nItems=1\nitem-001=1|Standard|01\n");
    CRelayProfileDlg dlg(settings_, 0, relay_op::kSmsD2, nullptr, Lister({}));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Weiterleiten als SMS"));
    EXPECT_EQ(dlg.CentreEdit()->text(), QStringLiteral("01722278000"));
    EXPECT_EQ(dlg.PlanBox()->currentText(), QStringLiteral("Kein"));
    dlg.NameEdit()->setText("Handy");
    dlg.NumberEdit()->setText("0170000000");
    dlg.DelayBox()->setValue(10);
    dlg.TriesBox()->setValue(4);
    dlg.PlanBox()->setCurrentIndex(dlg.PlanBox()->findText("Standard"));
    dlg.accept();
    ASSERT_EQ(Profiles().size(), 1u);
    EXPECT_EQ(Profiles()[0].fields, (std::vector<std::string>{"4", "Handy", "01722278000",
                                                              "0170000000", "10", "4", "01", ""}));
    int id = dlg.ProfileId();
    EXPECT_EQ(Param(id, "operation"), "4");
    EXPECT_TRUE(dispatched_);
    EXPECT_EQ(Param(id, "SMSCenter"), "01722278000");
    EXPECT_EQ(Param(id, "To"), "0170000000");
    EXPECT_EQ(Param(id, "delay"), "10");
    EXPECT_EQ(Param(id, "tries"), "4");
    EXPECT_NE(Param(id, "callByCallPrefix"), "<none>");

    CRelayProfileDlg again(settings_, id, relay_op::kMail, nullptr, Lister({}));
    EXPECT_EQ(again.PlanBox()->currentText(), QStringLiteral("Standard"));
    EXPECT_EQ(again.TriesBox()->value(), 4);
}

TEST_F(RelayProfileDlgTest, SmsNumbersMustBeDigits) {
    CRelayProfileDlg dlg(settings_, 0, relay_op::kSmsD1, nullptr, Lister({}));
    dlg.NameEdit()->setText("Handy");
    dlg.CentreEdit()->setText("0171 2521002");
    dlg.NumberEdit()->setText("0170000000");
    dlg.accept();
    dlg.CentreEdit()->setText("01712521002");
    dlg.NumberEdit()->setText("");
    dlg.accept();
    EXPECT_EQ(boxes_.Texts(),
              (std::vector<std::string>{
                  "Die Rufnummer der SMS-Zentrale darf nur aus Ziffern bestehen.",
                  "Die Rufnummer des Empfängers darf nur aus Ziffern bestehen."}));
    EXPECT_TRUE(Profiles().empty());
}

// --- what is written and what is not ---

TEST_F(RelayProfileDlgTest, MissingInputIsRefusedWithAMessage) {
    CRelayProfileDlg dlg(settings_, 0, relay_op::kMail, nullptr, Lister({}));
    dlg.accept();
    dlg.NameEdit()->setText("M");
    dlg.accept();
    dlg.ServerEdit()->setText("h");
    dlg.accept();
    dlg.SenderEdit()->setText("a@x");
    dlg.accept();
    EXPECT_EQ(boxes_.Texts(), (std::vector<std::string>{
                                  "Bitte geben Sie einen Profilnamen ein.",
                                  "Bitte geben Sie den SMTP-Server ein.",
                                  "Bitte geben Sie Ihre Email-Adresse ein.",
                                  "Bitte geben Sie den Empfänger (An) ein."}));
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(settings_.Path())));
}

TEST_F(RelayProfileDlgTest, ABarTypedIntoAFieldStaysInItsField) {
    CRelayProfileDlg dlg(settings_, 0, relay_op::kMail, nullptr, Lister({}));
    dlg.NameEdit()->setText("Büro|Privat");
    dlg.ServerEdit()->setText("h");
    dlg.SenderEdit()->setText("a|b@x");
    dlg.ToEdit()->setText("c@x");
    dlg.accept();
    auto f = Profiles()[0].fields;
    EXPECT_EQ(f[1], "Büro|Privat");
    EXPECT_EQ(f[3], "a|b@x");
    EXPECT_EQ(f[4], "c@x");
    EXPECT_EQ(Param(dlg.ProfileId(), "From"), "a|b@x");
    EXPECT_EQ(Param(dlg.ProfileId(), "To"), "c@x");
    CRelayProfileDlg again(settings_, dlg.ProfileId(), relay_op::kMail, nullptr, Lister({}));
    EXPECT_EQ(again.NameEdit()->text(), QStringLiteral("Büro|Privat"));
    EXPECT_EQ(again.SenderEdit()->text(), QStringLiteral("a|b@x"));
}

TEST_F(RelayProfileDlgTest, CancelWritesNothing) {
    const std::string file = "[RelayProfiles]\nItems=1\nitem-001=1|1|M|h|a@x|b@x|||0\n";
    dir_.Put("Telvora.cfg", file);
    CRelayProfileDlg dlg(settings_, 1, relay_op::kMail, nullptr, Lister({}));
    dlg.NameEdit()->setText("Anders");
    dlg.DialUpButton()->setChecked(true);
    dlg.reject();
    EXPECT_EQ(dir_.Get("Telvora.cfg"), file);
}

TEST_F(RelayProfileDlgTest, OkWithoutChangesWritesNothing) {
    // Written by hand: a port given as the default and a mode with a spare bit.
    const std::string file =
        "[RelayProfiles]\nItems=2\nitem-001=1|1|M|h:25|a@x|b@x||T-Online|51\n"
        "item-002=2|3|S|0171|0170|5|3||\n";
    dir_.Put("Telvora.cfg", file);
    for (int id : {1, 2}) {
        CRelayProfileDlg dlg(settings_, id, relay_op::kMail, nullptr, Lister({"T-Online"}));
        dlg.accept();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(dir_.Get("Telvora.cfg"), file);
}

TEST_F(RelayProfileDlgTest, OnlyTheChangedFieldIsRewritten) {
    dir_.Put("Telvora.cfg", "[RelayProfiles]\nItems=2\nitem-001=1|1|M|h:25|a@x|b@x||T-Online|51\n"
                            "item-002=2|2|F|/tmp/f\n");
    CRelayProfileDlg dlg(settings_, 1, relay_op::kMail, nullptr, Lister({"T-Online"}));
    dlg.CcEdit()->setText("c@x");
    dlg.accept();
    auto items = Profiles();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].fields, (std::vector<std::string>{"1", "M", "h:25", "a@x", "b@x", "c@x",
                                                         "T-Online", "51"}));
    EXPECT_EQ(items[1].fields[2], "/tmp/f");
}

TEST_F(RelayProfileDlgTest, ChangingTheOperationClearsTheOldFields) {
    dir_.Put("Telvora.cfg", "[RelayProfiles]\nItems=1\nitem-001=1|1|M|h|a@x|b@x||T|17\n");
    CRelayProfileDlg dlg(settings_, 1, relay_op::kMail, nullptr, Lister({}));
    dlg.OperationBox()->setCurrentIndex(dlg.OperationBox()->findData(relay_op::kFile));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Weiterleiten in eine Datei"));
    dlg.FileEdit()->setText("/tmp/x");
    dlg.accept();
    EXPECT_EQ(Profiles()[0].fields,
              (std::vector<std::string>{"2", "M", "/tmp/x", "", "", "", "", ""}));
}

TEST_F(RelayProfileDlgTest, AnOverlongProfileIsRefused) {
    CRelayProfileDlg dlg(settings_, 0, relay_op::kMail, nullptr, Lister({}));
    dlg.NameEdit()->setText("M");
    dlg.ServerEdit()->setText("h");
    dlg.SenderEdit()->setText("a@x");
    dlg.ToEdit()->setText(QString(300, QLatin1Char('b')));
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{kProfileTooLongText});
    EXPECT_TRUE(Profiles().empty());
}

}  // namespace
