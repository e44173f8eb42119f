#include "composer_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "address_book_window.h"
#include "config_keys.h"
#include "msgbox.h"
#include "msgbox_recorder.h"
#include "settings_file.h"
#include "test_dir.h"
#include "velo_doc.h"

namespace {

std::string LabelText(const QLabel* label) {
    return label->text().remove('&').toStdString();
}

class ComposerDialogTest : public ::testing::Test {
protected:
    ComposerDialogTest() {
        mkdir(dir_.File("store").c_str(), 0777);
        mkdir(dir_.File("Data").c_str(), 0777);
        doc_ = std::make_unique<CVeloDoc>(dir_.File("store"), Config());
        EXPECT_TRUE(doc_->Open());
    }
    std::string Config() const { return dir_.File("Telvora.cfg"); }
    ComposerPaths Paths() const { return ComposerPaths{dir_.Path(), dir_.File("Data")}; }
    SettingsFile Cfg() const { return SettingsFile(Config()); }
    std::unique_ptr<CComposerDlg> NewDialog() {
        return std::make_unique<CComposerDlg>(*doc_, Config(), Paths());
    }
    std::vector<NoteItem>& SendNotes() { return doc_->Folder(kSendNotes).Items(); }

    TestDir dir_;
    MessageBoxRecorder boxes_;
    std::unique_ptr<CVeloDoc> doc_;
};

TEST_F(ComposerDialogTest, NewNoteOpensWithTheLastRecipientAsANote) {
    Cfg().Write(cfg::kLastName, "Hans");
    Cfg().Write(cfg::kLastTelephone, "030 123");
    Cfg().Write(cfg::kLastSubject, "Termin");
    Cfg().Write(cfg::kSignatureFlag, 1);
    auto dlg = NewDialog();
    EXPECT_EQ(dlg->windowTitle(), "Nachricht erstellen");
    EXPECT_EQ(dlg->NameEdit()->text(), "Hans");
    EXPECT_EQ(dlg->RecipientEdit()->text(), "030 123");
    EXPECT_EQ(dlg->SubjectEdit()->text(), "Termin");
    EXPECT_FALSE(dlg->SignatureBox()->isChecked());
    EXPECT_FALSE(dlg->SendNowBox()->isChecked());
    EXPECT_EQ(dlg->SignatureBox()->text(), "Si&gnatur anfügen");
    EXPECT_EQ(dlg->SendNowBox()->text(), "Sofort &senden");
    EXPECT_TRUE(dlg->TypeButton(0)->isChecked());
    const struct {
        int type;
        const char* text;
        const char* hint;
    } buttons[] = {{0, "&Notiz", "Notiz erstellen oder editieren"},
                   {2, "&SMS", "SMS-Nachricht erstellen oder editieren"},
                   {6, "&Email", "EMail-Nachricht erstellen oder editieren"}};
    for (const auto& b : buttons) {
        EXPECT_EQ(dlg->TypeButton(b.type)->text(), b.text);
        EXPECT_EQ(dlg->TypeButton(b.type)->toolTip(), b.hint);
    }
    EXPECT_EQ(LabelText(dlg->CounterLabel()), " Noch 2048 von 2048 Zeichen frei.");
    EXPECT_TRUE(dlg->Picture()->isHidden());
    EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(ComposerDialogTest, PictureIsShownWhenTheDataDirectoryHasIt) {
    // Qt reads the picture by its content; a PNG under that name will do
    // where Qt has no GIF support.
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    dir_.Put("Data/velo001.gif", bytes.toStdString());
    auto dlg = NewDialog();
    EXPECT_FALSE(dlg->Picture()->isHidden());
    EXPECT_EQ(dlg->Picture()->pixmap().size(), QSize(4, 4));
}

TEST_F(ComposerDialogTest, TypeButtonsSwitchLabelCcAndLimit) {
    auto dlg = NewDialog();
    const struct {
        int type;
        const char* label;
        bool cc;
        const char* counter;
    } cases[] = {{2, "Handynummer:", false, " Noch  160 von  160 Zeichen frei."},
                 {6, "Adresse:", true, " Noch 2048 von 2048 Zeichen frei."},
                 {0, "Rufnummer:", false, " Noch 2048 von 2048 Zeichen frei."}};
    for (const auto& c : cases) {
        dlg->TypeButton(c.type)->click();
        EXPECT_TRUE(dlg->TypeButton(c.type)->isChecked());
        EXPECT_EQ(LabelText(dlg->RecipientLabelWidget()), c.label);
        EXPECT_EQ(dlg->CcEdit()->isHidden(), !c.cc) << c.label;
        EXPECT_EQ(dlg->CcLabel()->isHidden(), !c.cc) << c.label;
        EXPECT_EQ(LabelText(dlg->CounterLabel()), c.counter);
    }
    EXPECT_EQ(dlg->TypeButton(0)->isChecked() + dlg->TypeButton(2)->isChecked() +
                  dlg->TypeButton(6)->isChecked(),
              1);
}

TEST_F(ComposerDialogTest, SmsWithSignatureOverItsLimitShowsTheMessageAndNegativeRest) {
    Cfg().Write(cfg::kSignatureFile, "Signature.txt");
    dir_.Put("Signature.txt", "-- Gruß, Eva Schmidt");  // 20 characters
    auto dlg = NewDialog();
    dlg->TypeButton(2)->click();
    dlg->RecipientEdit()->setText("0171 1234567");
    dlg->TextEdit()->setPlainText(QString(150, 'x'));
    EXPECT_EQ(LabelText(dlg->CounterLabel()), " Noch   10 von  160 Zeichen frei.");
    EXPECT_TRUE(boxes_.Texts().empty());
    dlg->SignatureBox()->click();
    EXPECT_EQ(LabelText(dlg->CounterLabel()), " Noch  -10 von  160 Zeichen frei.");
    ASSERT_EQ(boxes_.Count(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text, "Sie haben die Maximale Anzahl der Zeichen überschritten!");
    EXPECT_EQ(boxes_.Calls()[0].type & MB_ICONSTOP, unsigned{MB_ICONSTOP});
    EXPECT_FALSE(dlg->Accept());
    EXPECT_TRUE(SendNotes().empty());
}

TEST_F(ComposerDialogTest, EmailWithoutAtKeepsTheDialogOpen) {
    auto dlg = NewDialog();
    dlg->show();
    dlg->TypeButton(6)->click();
    dlg->RecipientEdit()->setText("hans.example.de");
    dlg->TextEdit()->setPlainText("Hallo");
    EXPECT_FALSE(dlg->Accept());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    ASSERT_EQ(boxes_.Count(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text,
              "Die Rufnummer/Adresse 'hans.example.de' hat ein falsches Format!\n Bitte "
              "überprüfen!");
    EXPECT_TRUE(SendNotes().empty());
    dlg->RecipientEdit()->setText("hans@example.de");
    EXPECT_TRUE(dlg->Accept());
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(ComposerDialogTest, OkCarriesSendNowAndOffersToKeepTheRecipient) {
    auto dlg = NewDialog();
    dlg->RecipientEdit()->setText("030 987");
    dlg->TextEdit()->setPlainText("Text");
    dlg->SendNowBox()->click();
    boxes_.QueueAnswer(IDNO);  // not into the address book
    ASSERT_TRUE(dlg->Accept());
    ASSERT_TRUE(dlg->Result());
    EXPECT_TRUE(dlg->Result()->sendNow);
    EXPECT_EQ(dlg->Result()->folder, kSendNotes);
    ASSERT_EQ(SendNotes().size(), 1u);
    EXPECT_EQ(dlg->Result()->noteId, SendNotes()[0].NoteId());
    EXPECT_EQ(boxes_.Texts(),
              std::vector<std::string>{"Soll die vorliegende Adresse in das Adressbuch "
                                       "eingetragen werden?"});
}

TEST_F(ComposerDialogTest, EditShowsTheItemAndRewritesItsText) {
    NoteItem item;
    item.Set(NoteItem::kName, "Hans");
    item.Set(NoteItem::kNumber, "0172 1234567");
    item.SetNumber(NoteItem::kType, 3);
    auto stored = doc_->CreateItem(item, kSendNotes, "alt");
    ASSERT_TRUE(stored);
    CComposerDlg dlg(*doc_, Config(), Paths(), std::make_pair(int{kSendNotes}, stored->NoteId()));
    ASSERT_TRUE(dlg.Valid());
    EXPECT_EQ(dlg.windowTitle(), "Nachricht editieren");
    EXPECT_TRUE(dlg.TypeButton(2)->isChecked());
    EXPECT_EQ(LabelText(dlg.RecipientLabelWidget()), "Handynummer:");
    EXPECT_EQ(dlg.TextEdit()->toPlainText(), "alt");
    EXPECT_TRUE(boxes_.Texts().empty());  // opening is no change of the text
    dlg.TextEdit()->setPlainText("neu");
    ASSERT_TRUE(dlg.Accept());
    EXPECT_EQ(dlg.Result()->noteId, stored->NoteId());
    ASSERT_EQ(SendNotes().size(), 1u);
    EXPECT_EQ(SendNotes()[0].Type(), 3);
    EXPECT_EQ(doc_->ReadText(SendNotes()[0], kSendNotes), "neu");
    EXPECT_TRUE(boxes_.Texts().empty());  // no offer when editing

    CComposerDlg missing(*doc_, Config(), Paths(), std::make_pair(int{kSendNotes}, 1L));
    EXPECT_FALSE(missing.Valid());
}

TEST_F(ComposerDialogTest, EnterInTheTextAddsALineAndMnemonicsReachTheFields) {
    auto dlg = NewDialog();
    dlg->TypeButton(6)->click();
    dlg->show();
    QApplication::setActiveWindow(dlg.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    dlg->TextEdit()->setFocus();
    QTest::keyClicks(dlg->TextEdit(), "eins");
    QTest::keyClick(dlg->TextEdit(), Qt::Key_Return);
    QTest::keyClicks(dlg->TextEdit(), "zwei");
    EXPECT_EQ(dlg->TextEdit()->toPlainText(), "eins\nzwei");
    EXPECT_TRUE(dlg->isVisible());
    const struct {
        Qt::Key key;
        QWidget* field;
    } mnemonics[] = {{Qt::Key_N, dlg->NameEdit()},
                     {Qt::Key_D, dlg->RecipientEdit()},
                     {Qt::Key_C, dlg->CcEdit()},
                     {Qt::Key_B, dlg->SubjectEdit()},
                     {Qt::Key_T, dlg->TextEdit()}};
    for (const auto& m : mnemonics) {
        // "&Notiz" shares its letter with "&Name:"; the field is one of the two.
        QTest::keyClick(dlg.get(), m.key, Qt::AltModifier);
        if (m.key == Qt::Key_N && QApplication::focusWidget() != m.field)
            QTest::keyClick(dlg.get(), m.key, Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), m.field) << m.key;
    }
}

TEST_F(ComposerDialogTest, AddressBookFillsNameAndRecipientByType) {
    dir_.Put("Data/AddrBook.xml",
             "<addressbook>\n<address_item id='1'>\n<nick>Hansi</nick>\n"
             "<firstname>Hans</firstname>\n<lastname>Meier</lastname>\n"
             "<phone type='business'>\n<prefix>030</prefix>\n<number>222</number>\n</phone>\n"
             "<phone type='mobile'>\n<prefix>0172</prefix>\n<number>1234567</number>\n</phone>\n"
             "<email>hans@example.de</email>\n</address_item>\n</addressbook>\n");
    auto dlg = NewDialog();
    ASSERT_EQ(dlg->Book().Addresses().size(), 1u);
    EXPECT_TRUE(dlg->AddressBookButton()->isEnabled());
    EXPECT_EQ(dlg->AddressBookButton()->text(), "&Adressbuch...");
    const Address& hans = dlg->Book().Addresses()[0];
    const struct {
        int type;
        const char* recipient;
    } cases[] = {{0, "030 222"}, {2, "0172 1234567"}, {6, "hans@example.de"}};
    for (const auto& c : cases) {
        dlg->TypeButton(c.type)->click();
        dlg->ApplyAddress(hans);
        EXPECT_EQ(dlg->NameEdit()->text(), "Hans Meier");
        EXPECT_EQ(dlg->RecipientEdit()->text(), c.recipient);
    }
}

TEST_F(ComposerDialogTest, AddressBookButtonPicksThroughTheAddressBookWindow) {
    dir_.Put("Data/AddrBook.xml",
             "<addressbook>\n<address_item id='1'>\n<nick>Anna</nick>\n</address_item>\n"
             "<address_item id='2'>\n<nick>Hansi</nick>\n<firstname>Hans</firstname>\n"
             "<lastname>Mei|er</lastname>\n"
             "<phone type='mobile'>\n<prefix>0172</prefix>\n<number>1234567</number>\n</phone>\n"
             "</address_item>\n</addressbook>\n");
    auto dlg = NewDialog();
    dlg->TypeButton(2)->click();
    for (bool pick : {false, true}) {
        bool seen = false;
        QTimer::singleShot(0, [&seen, pick] {
            auto* wnd = qobject_cast<CAddressBookWnd*>(QApplication::activeModalWidget());
            ASSERT_NE(wnd, nullptr);
            seen = true;
            wnd->SelectEntry(1);
            pick ? wnd->accept() : wnd->reject();
        });
        dlg->AddressBookButton()->click();
        EXPECT_TRUE(seen);
        EXPECT_EQ(dlg->NameEdit()->text(), pick ? "Hans Mei|er" : "") << pick;
        EXPECT_EQ(dlg->RecipientEdit()->text(), pick ? "0172 1234567" : "") << pick;
    }
}

TEST_F(ComposerDialogTest, UnreadableAddressBookIsSaidAndTheDialogGoesOn) {
    dir_.Put("Data/AddrBook.xml", "<addressbook><address_item>");
    auto dlg = NewDialog();
    ASSERT_FALSE(boxes_.Calls().empty());
    const auto last = boxes_.Calls().back();
    EXPECT_EQ(last.text, "Addressbuch kann nicht gelesen werden!");
    EXPECT_EQ(last.type & MB_ICONEXCLAMATION, unsigned{MB_ICONEXCLAMATION});
    EXPECT_FALSE(dlg->AddressBookButton()->isEnabled());
    dlg->TextEdit()->setPlainText("Hallo");
    dlg->RecipientEdit()->setText("030 1");
    boxes_.QueueAnswer(IDNO);
    EXPECT_TRUE(dlg->Accept());
}

}  // namespace
