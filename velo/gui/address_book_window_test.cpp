#include "address_book_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "address_dialog.h"
#include "msgbox_recorder.h"
#include "test_dir.h"

namespace {

// An entry with every field set, a "|" and umlauts among them.
Address FullAddress() {
    Address a = Address::MadeAt(1700000000);
    a.nick = "Jö|rg";
    a.firstname = "Jörg";
    a.lastname = "Müller|Lüdenscheidt";
    a.address1 = "Hauptstraße 1";
    a.address2 = "Hinterhaus";
    a.zipCode = "50667";
    a.city = "Köln";
    a.country = "Deutschland";
    a.phones[kPhonePrivate] = {true, "+49", "0221", "123456"};
    a.phones[kPhoneBusiness] = {true, "+49", "0221", "9|9"};
    a.phones[kPhoneFax] = {true, "+49", "0221", "777"};
    a.phones[kPhoneMobile] = {true, "+49", "0172", "1234567"};
    a.email = "joerg@example.de";
    a.webServer = "www.example.de";
    a.comments = "Grüße | & <Tschüß>\nzweite Zeile";
    return a;
}

void ExpectSameFields(const Address& got, const Address& want) {
    EXPECT_EQ(got.nick, want.nick);
    EXPECT_EQ(got.firstname, want.firstname);
    EXPECT_EQ(got.lastname, want.lastname);
    EXPECT_EQ(got.address1, want.address1);
    EXPECT_EQ(got.address2, want.address2);
    EXPECT_EQ(got.zipCode, want.zipCode);
    EXPECT_EQ(got.city, want.city);
    EXPECT_EQ(got.country, want.country);
    for (size_t i = 0; i < kPhoneTypes; ++i) {
        EXPECT_EQ(got.phones[i].present, want.phones[i].present) << i;
        EXPECT_EQ(got.phones[i].countryCode, want.phones[i].countryCode) << i;
        EXPECT_EQ(got.phones[i].prefix, want.phones[i].prefix) << i;
        EXPECT_EQ(got.phones[i].number, want.phones[i].number) << i;
    }
    EXPECT_EQ(got.email, want.email);
    EXPECT_EQ(got.webServer, want.webServer);
    EXPECT_EQ(got.comments, want.comments);
}

// Types the fields of want into the dialog, the numbers through SetPhone.
void TypeInto(CAddressDlg& dlg, const Address& want) {
    for (auto field : {&Address::nick, &Address::firstname, &Address::lastname, &Address::address1,
                       &Address::address2, &Address::zipCode, &Address::city, &Address::country,
                       &Address::email, &Address::webServer}) {
        ASSERT_NE(dlg.Field(field), nullptr);
        dlg.Field(field)->setText(QString::fromStdString(want.*field));
    }
    dlg.CommentsEdit()->setPlainText(QString::fromStdString(want.comments));
    for (size_t i = 0; i < kPhoneTypes; ++i)
        dlg.SetPhone(static_cast<PhoneType>(i), want.phones[i]);
}

class AddressDialogTest : public ::testing::Test {
protected:
    MessageBoxRecorder boxes_;
};

TEST_F(AddressDialogTest, ShowsEveryFieldAndTheNumbersInLongForm) {
    Address a = FullAddress();
    CAddressDlg dlg(a);
    EXPECT_EQ(dlg.windowTitle(), "Adresse");
    EXPECT_EQ(dlg.Field(&Address::nick)->text(), "Jö|rg");
    EXPECT_EQ(dlg.Field(&Address::lastname)->text(), "Müller|Lüdenscheidt");
    EXPECT_EQ(dlg.Field(&Address::city)->text(), "Köln");
    EXPECT_EQ(dlg.Field(&Address::webServer)->text(), "www.example.de");
    EXPECT_EQ(dlg.CommentsEdit()->toPlainText().toStdString(), a.comments);
    EXPECT_EQ(dlg.PhoneText(kPhonePrivate)->text(), "+49 0221 123456");
    EXPECT_EQ(dlg.PhoneText(kPhoneBusiness)->text(), "+49 0221 9|9");
    EXPECT_EQ(dlg.PhoneText(kPhoneMobile)->text(), "+49 0172 1234567");
    EXPECT_TRUE(dlg.PhoneText(kPhoneFax)->isReadOnly());
    Address empty = Address::MadeAt(1);
    CAddressDlg blank(empty);
    EXPECT_EQ(blank.PhoneText(kPhoneFax)->text(), "");
}

TEST_F(AddressDialogTest, ResultTakesEveryFieldAsTypedWithNowAsLastChange) {
    Address original = Address::MadeAt(1000);
    CAddressDlg dlg(original);
    Address want = FullAddress();
    want.nick = "  Leer vorn und hinten  ";
    TypeInto(dlg, want);
    Address got = dlg.Result(2000);
    ExpectSameFields(got, want);
    EXPECT_EQ(got.id, original.id);
    EXPECT_EQ(got.lastChange, 2000);
}

TEST_F(AddressDialogTest, PhoneDialogHasTitleFieldsAndSetsTheNumberPresent) {
    const char* titles[kPhoneTypes] = {"Private Telefonnummer", "Geschäftliche Telefonnummer",
                                       "Faxnummer", "Handynummer"};
    for (size_t i = 0; i < kPhoneTypes; ++i) {
        CPhoneDlg dlg(static_cast<PhoneType>(i), PhoneNumber{});
        EXPECT_EQ(dlg.windowTitle().toStdString(), titles[i]);
        dlg.CountryCodeEdit()->setText("+49");
        dlg.PrefixEdit()->setText("030");
        dlg.NumberEdit()->setText("12|34");
        PhoneNumber n = dlg.Number();
        EXPECT_TRUE(n.present);
        EXPECT_EQ(n.LongText(), "+49 030 12|34");
    }
    // Emptied completely, the number goes away instead of being kept empty.
    CPhoneDlg cleared(kPhoneFax, PhoneNumber{true, "+49", "030", "1"});
    EXPECT_EQ(cleared.NumberEdit()->text(), "1");
    cleared.CountryCodeEdit()->clear();
    cleared.PrefixEdit()->clear();
    cleared.NumberEdit()->clear();
    EXPECT_FALSE(cleared.Number().present);
}

TEST_F(AddressDialogTest, NumberButtonOpensThePhoneDialogAndOnlyOkTakesIt) {
    CAddressDlg dlg(Address::MadeAt(1));
    for (bool confirm : {false, true}) {
        QTimer::singleShot(0, [confirm] {
            auto* phone = qobject_cast<CPhoneDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(phone, nullptr);
            EXPECT_EQ(phone->windowTitle(), "Handynummer");
            phone->PrefixEdit()->setText("0172");
            phone->NumberEdit()->setText("555");
            confirm ? phone->accept() : phone->reject();
        });
        dlg.PhoneButton(kPhoneMobile)->click();
        EXPECT_EQ(dlg.Phone(kPhoneMobile).present, confirm);
        EXPECT_EQ(dlg.PhoneText(kPhoneMobile)->text(), confirm ? "0172 555" : "");
    }
}

class AddressBookWindowTest : public ::testing::Test {
protected:
    std::string Path() const { return dir_.File("AddrBook.xml"); }
    AddressBook ReadBack() const {
        AddressBook book;
        EXPECT_TRUE(book.Load(Path()));
        return book;
    }
    void PutBook(const std::vector<Address>& addresses) {
        AddressBook book;
        for (const Address& a : addresses) book.Add(a);
        ASSERT_TRUE(book.Save(Path()));
    }
    // The window's add and edit dialogs get the fields of want and OK, or
    // are cancelled when want is empty.
    static void Answer(CAddressBookWnd& wnd, std::optional<Address> want) {
        wnd.SetDialogRunner([want](QDialog& d) {
            auto* dlg = dynamic_cast<CAddressDlg*>(&d);
            EXPECT_NE(dlg, nullptr);
            if (!dlg || !want) return int(QDialog::Rejected);
            TypeInto(*dlg, *want);
            return int(QDialog::Accepted);
        });
    }
    static std::vector<std::string> ColumnOf(const QTreeWidget* list, int column) {
        std::vector<std::string> texts;
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            texts.push_back(list->topLevelItem(row)->text(column).toStdString());
        return texts;
    }

    TestDir dir_;
    MessageBoxRecorder boxes_;
};

Address EntryNicked(const char* nick, std::time_t made) {
    Address a = Address::MadeAt(made);
    a.nick = nick;
    return a;
}

TEST_F(AddressBookWindowTest, ShowsTheDesignedColumnsSortedByNick) {
    Address hans = FullAddress();
    hans.nick = "hans";
    PutBook({EntryNicked("Zora", 1), hans, EntryNicked("Ärger", 3)});
    CAddressBookWnd wnd(Path());
    EXPECT_EQ(wnd.windowTitle(), "Adressbuch");
    const QTreeWidget* list = wnd.List();
    ASSERT_EQ(list->columnCount(), 11);
    const char* headers[] = {"Nick", "Name",  "Anschrift",   "Stadt",
                             "Land", "Email", "Tel. Privat", "Tel. Geschäft",
                             "Fax",  "Handy", "Bemerkungen"};
    for (int c = 0; c < 11; ++c) {
        EXPECT_EQ(list->headerItem()->text(c).toStdString(), headers[c]);
        EXPECT_FALSE(list->header()->isSectionHidden(c));
        EXPECT_EQ(list->header()->visualIndex(c), c);
    }
    EXPECT_EQ(list->header()->sectionSize(5), 185);
    EXPECT_EQ(ColumnOf(list, 0), (std::vector<std::string>{"Ärger", "hans", "Zora"}));
    const QTreeWidgetItem* row = list->topLevelItem(1);
    EXPECT_EQ(row->text(1), "Jörg Müller|Lüdenscheidt");
    EXPECT_EQ(row->text(3), "50667 Köln");
    EXPECT_EQ(row->text(7), "0221 9|9");
    EXPECT_EQ(row->text(10), "Grüße | & <Tschüß> zweite Zeile");
    EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(AddressBookWindowTest, AddEditAndDeleteReachTheFileAsTheCoreWritesIt) {
    PutBook({EntryNicked("Anna", 1), EntryNicked("Bernd", 2)});
    Address added = FullAddress();
    {
        CAddressBookWnd wnd(Path());
        Answer(wnd, added);
        wnd.AddButton()->click();
        ASSERT_EQ(wnd.Book().Addresses().size(), 3u);
        EXPECT_EQ(wnd.SelectedEntry(), std::optional<size_t>(2));

        Address edited = EntryNicked("Berta", 0);
        edited.city = "Düsseldorf|Nord";
        Answer(wnd, edited);
        wnd.SelectEntry(1);
        wnd.EditButton()->click();
        EXPECT_EQ(wnd.Book().Addresses()[1].nick, "Berta");

        boxes_.QueueAnswer(IDYES);
        wnd.SelectEntry(0);
        wnd.DeleteButton()->click();
        ASSERT_EQ(boxes_.Texts().size(), 1u);
        EXPECT_EQ(boxes_.Texts()[0], "Soll die Addresse 'Anna' gelöscht werden?");
        ASSERT_EQ(wnd.Book().Addresses().size(), 2u);
        // Nothing is written before OK.
        EXPECT_EQ(ReadBack().Addresses().size(), 2u);
        wnd.accept();
        EXPECT_EQ(wnd.result(), QDialog::Accepted);
    }
    AddressBook book = ReadBack();
    ASSERT_EQ(book.Addresses().size(), 2u);
    EXPECT_EQ(book.Addresses()[0].nick, "Berta");
    EXPECT_EQ(book.Addresses()[0].city, "Düsseldorf|Nord");
    EXPECT_EQ(book.Addresses()[0].id, "2");
    ExpectSameFields(book.Addresses()[1], added);
    // The file is byte for byte what the core writes for this book.
    std::string file = dir_.Get("AddrBook.xml");
    ASSERT_TRUE(book.Save(dir_.File("again.xml")));
    EXPECT_EQ(file, dir_.Get("again.xml"));
    for (const char* line :
         {"<nick>Jö|rg</nick>\n", "<lastname>Müller|Lüdenscheidt</lastname>\n",
          "<address1>Hauptstraße 1</address1>\n", "<city>Köln</city>\n",
          "<phone type=\"business\">\n<country_code>+49</country_code>\n<prefix>0221</prefix>\n"
          "<number>9|9</number>\n</phone>\n",
          "<phone type=\"home\">\n", "<phone type=\"fax\">\n", "<phone type=\"mobile\">\n",
          "<comments>Grüße | &amp; &lt;Tschüß&gt;\nzweite Zeile</comments>\n",
          "<city>Düsseldorf|Nord</city>\n", "<web_server>www.example.de</web_server>\n"})
        EXPECT_NE(file.find(line), std::string::npos) << line;
    EXPECT_EQ(file.find("Anna"), std::string::npos);
    EXPECT_EQ(file.find("¦"), std::string::npos);
}

TEST_F(AddressBookWindowTest, CancelWritesNothing) {
    PutBook({EntryNicked("Anna", 1)});
    const std::string before = dir_.Get("AddrBook.xml");
    {
        CAddressBookWnd wnd(Path());
        // A cancelled address dialog changes nothing in the window's book.
        Answer(wnd, std::nullopt);
        wnd.AddButton()->click();
        wnd.SelectEntry(0);
        wnd.EditButton()->click();
        EXPECT_EQ(wnd.Book().Addresses().size(), 1u);
        EXPECT_EQ(wnd.Book().Addresses()[0].nick, "Anna");
        // What was changed in the window goes when the window is cancelled.
        Answer(wnd, EntryNicked("Neu", 5));
        wnd.AddButton()->click();
        wnd.List()->header()->resizeSection(1, 222);
        wnd.List()->header()->setSectionHidden(4, true);
        wnd.reject();
    }
    EXPECT_EQ(dir_.Get("AddrBook.xml"), before);
    // No file is made either.
    TestDir other;
    {
        CAddressBookWnd wnd(other.File("AddrBook.xml"));
        wnd.reject();
    }
    EXPECT_TRUE(std::filesystem::is_empty(other.Path()));
}

TEST_F(AddressBookWindowTest, ColumnLayoutComesBackAfterClosingAndOpening) {
    PutBook({EntryNicked("Anna", 1), EntryNicked("Bernd", 2)});
    {
        CAddressBookWnd wnd(Path());
        QHeaderView* header = wnd.List()->header();
        header->resizeSection(1, 123);
        header->resizeSection(5, 77);
        header->moveSection(header->visualIndex(3), 1);  // "Stadt" right after the nick
        header->setSectionHidden(4, true);               // no "Land"
        header->setSectionHidden(10, true);              // no "Bemerkungen"
        wnd.List()->sortByColumn(3, Qt::DescendingOrder);
        wnd.accept();
    }
    AddressLayout layout = ReadBack().Layout();
    EXPECT_EQ(layout.colEnable, "1,1,1,1,0,1,1,1,1,1,0");
    EXPECT_EQ(layout.colOrder, "0,2,3,1,4,5,6,7,8,9,10");
    EXPECT_EQ(layout.colSize, "58,123,76,85,85,77,60,60,60,60,60");
    EXPECT_EQ(layout.sortCol, "3");
    EXPECT_EQ(layout.sortDir, "1");
    // Kept as they were read.
    EXPECT_EQ(layout.colHidden, "1,1,1,1,1,1,1,1,1,1,1");
    EXPECT_EQ(layout.colSort, "0");
    const std::string file = dir_.Get("AddrBook.xml");
    EXPECT_NE(file.find("<colOrder>0,2,3,1,4,5,6,7,8,9,10</colOrder>\n"), std::string::npos);

    CAddressBookWnd again(Path());
    const QHeaderView* header = again.List()->header();
    const int order[] = {0, 3, 1, 2, 4, 5, 6, 7, 8, 9, 10};
    for (int position = 0; position < 11; ++position)
        EXPECT_EQ(header->logicalIndex(position), order[position]) << position;
    EXPECT_TRUE(header->isSectionHidden(4));
    EXPECT_TRUE(header->isSectionHidden(10));
    EXPECT_FALSE(header->isSectionHidden(3));
    EXPECT_EQ(header->sectionSize(1), 123);
    EXPECT_EQ(header->sectionSize(5), 77);
    EXPECT_EQ(header->sortIndicatorSection(), 3);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    // A column shown again comes back at its old place with its old width.
    again.List()->header()->setSectionHidden(4, false);
    EXPECT_EQ(header->visualIndex(4), 4);
    EXPECT_EQ(header->sectionSize(4), 85);
}

TEST_F(AddressBookWindowTest, LayoutFromTheFileIsShownAsTheCoreReadsIt) {
    dir_.Put("AddrBook.xml",
             "<addressbook>\n<layout>\n<colEnable>1,1,0,1,1,1,1,1,1,1,1</colEnable>\n"
             "<colOrder>5,2,1,3,4,0,6,7,8,9,10</colOrder>\n"
             "<colSize>58,5,76,85,85,185,60,60,60,60,60</colSize>\n"
             "<sortCol>1</sortCol>\n<sortDir>1</sortDir>\n</layout>\n"
             "<address_item id='1'>\n<nick>A</nick>\n<lastname>Zett</lastname>\n</address_item>\n"
             "<address_item id='2'>\n<nick>B</nick>\n<lastname>Ah</lastname>\n</address_item>\n"
             "</addressbook>\n");
    CAddressBookWnd wnd(Path());
    const QHeaderView* header = wnd.List()->header();
    AddressListView view = ListViewOf(wnd.Book().Layout());
    int position = 0;
    for (int visual = 0; visual < 11; ++visual) {
        int column = header->logicalIndex(visual);
        if (header->isSectionHidden(column)) continue;
        ASSERT_LT(position, static_cast<int>(view.columns.size()));
        EXPECT_EQ(column, static_cast<int>(view.columns[position].column));
        EXPECT_EQ(header->sectionSize(column), view.columns[position].width);
        ++position;
    }
    EXPECT_EQ(position, static_cast<int>(view.columns.size()));
    EXPECT_EQ(header->logicalIndex(0), 0);  // the nick first, whatever colOrder says
    EXPECT_TRUE(header->isSectionHidden(2));
    EXPECT_EQ(header->sectionSize(1), 50);  // too narrow to be seen
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(ColumnOf(wnd.List(), 0), (std::vector<std::string>{"A", "B"}));
}

TEST_F(AddressBookWindowTest, NickStaysTheFirstColumn) {
    PutBook({EntryNicked("Anna", 1)});
    CAddressBookWnd wnd(Path());
    QHeaderView* header = wnd.List()->header();
    header->moveSection(0, 4);
    EXPECT_EQ(header->visualIndex(0), 0);
}

TEST_F(AddressBookWindowTest, NothingSelectedIsSaid) {
    PutBook({EntryNicked("Anna", 1)});
    CAddressBookWnd wnd(Path());
    wnd.List()->clearSelection();
    wnd.List()->setCurrentItem(nullptr);
    wnd.EditButton()->click();
    wnd.DeleteButton()->click();
    EXPECT_EQ(boxes_.Texts(), (std::vector<std::string>{"Adresse kann nicht ausgewählt werden!",
                                                        "Adresse kann nicht ausgewählt werden!"}));
    EXPECT_EQ(wnd.Book().Addresses().size(), 1u);
}

TEST_F(AddressBookWindowTest, DeleteAnsweredNoKeepsTheEntry) {
    PutBook({EntryNicked("Anna", 1)});
    CAddressBookWnd wnd(Path());
    boxes_.QueueAnswer(IDNO);
    wnd.SelectEntry(0);
    wnd.DeleteButton()->click();
    EXPECT_EQ(boxes_.Count(), 1u);
    EXPECT_EQ(wnd.Book().Addresses().size(), 1u);
    EXPECT_EQ(wnd.List()->topLevelItemCount(), 1);
}

TEST_F(AddressBookWindowTest, UnreadableBookIsSaidAndNeverOverwritten) {
    const std::string broken = "<addressbook><address_item>";
    dir_.Put("AddrBook.xml", broken);
    CAddressBookWnd wnd(Path());
    ASSERT_FALSE(boxes_.Texts().empty());
    EXPECT_EQ(boxes_.Texts().back(), "Addressbuch kann nicht gelesen werden!");
    EXPECT_FALSE(wnd.AddButton()->isEnabled());
    EXPECT_FALSE(wnd.EditButton()->isEnabled());
    EXPECT_FALSE(wnd.DeleteButton()->isEnabled());
    wnd.accept();
    EXPECT_EQ(wnd.result(), QDialog::Accepted);
    EXPECT_EQ(dir_.Get("AddrBook.xml"), broken);
}

TEST_F(AddressBookWindowTest, PickModeReturnsTheSelectedAddress) {
    Address hans = FullAddress();
    PutBook({EntryNicked("Anna", 1), hans, EntryNicked("Zora", 3)});
    CAddressBookWnd wnd(Path(), CAddressBookWnd::Mode::Pick);
    wnd.SelectEntry(1);
    wnd.accept();
    ASSERT_TRUE(wnd.Picked().has_value());
    ExpectSameFields(*wnd.Picked(), hans);

    // Without a selection it is said and the window stays open.
    CAddressBookWnd none(Path(), CAddressBookWnd::Mode::Pick);
    none.List()->clearSelection();
    none.accept();
    EXPECT_FALSE(none.Picked().has_value());
    EXPECT_NE(none.result(), QDialog::Accepted);
    EXPECT_EQ(boxes_.Texts(), (std::vector<std::string>{"Adresse kann nicht ausgewählt werden!"}));
}

TEST_F(AddressBookWindowTest, PickModeDoubleClickPicksAndAnAddedAddressCanBePicked) {
    PutBook({EntryNicked("Anna", 1)});
    CAddressBookWnd wnd(Path(), CAddressBookWnd::Mode::Pick);
    Address neu = EntryNicked("Neu|er", 9);
    Answer(wnd, neu);
    wnd.AddButton()->click();
    QTreeWidgetItem* item = wnd.List()->currentItem();
    ASSERT_NE(item, nullptr);
    emit wnd.List()->itemDoubleClicked(item, 0);
    ASSERT_TRUE(wnd.Picked().has_value());
    EXPECT_EQ(wnd.Picked()->nick, "Neu|er");
    EXPECT_EQ(ReadBack().Addresses().size(), 2u);

    QTimer::singleShot(0, [] {
        auto* open = qobject_cast<CAddressBookWnd*>(QApplication::activeModalWidget());
        ASSERT_NE(open, nullptr);
        open->reject();
    });
    EXPECT_FALSE(CAddressBookWnd::Pick(Path()).has_value());
}

}  // namespace
