#include "address_book.h"

#include <gtest/gtest.h>

#include "msgbox_recorder.h"
#include "test_dir.h"

namespace {

constexpr std::time_t kNow = 1700000000;

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

class AddressBookFile : public testing::Test {
protected:
    AddressBook Loaded(const std::string& xml) {
        dir_.Put("AddrBook.xml", xml);
        AddressBook book;
        EXPECT_TRUE(book.Load(Path(), kNow));
        return book;
    }
    AddressBook Reloaded(const AddressBook& book) {
        EXPECT_TRUE(book.Save(Path()));
        AddressBook again;
        EXPECT_TRUE(again.Load(Path(), kNow));
        return again;
    }
    std::string Path() const { return dir_.File("AddrBook.xml"); }

    TestDir dir_;
    MessageBoxRecorder boxes_;
};

TEST_F(AddressBookFile, AFileWithoutLayoutOpensWithTheDefaultLayout) {
    AddressBook book = Loaded(
        "<addressbook>\n<address_item id='1'>\n<nick>Anna</nick>\n</address_item>\n"
        "</addressbook>\n");
    ASSERT_EQ(book.Addresses().size(), 1u);
    EXPECT_EQ(book.Addresses()[0].nick, "Anna");
    const AddressLayout& l = book.Layout();
    EXPECT_EQ(l.colHidden, "1,1,1,1,1,1,1,1,1,1,1");
    EXPECT_EQ(l.colEnable, "1,1,1,1,1,1,1,1,1,1,1");
    EXPECT_EQ(l.colOrder, "0,1,2,3,4,5,6,7,8,9,10");
    EXPECT_EQ(l.colSize, "58,70,76,85,85,185,60,60,60,60,60");
    EXPECT_EQ(std::tie(l.colSort, l.sortCol, l.sortDir), std::make_tuple("0", "0", "0"));

    AddressListView view = ListViewOf(l);
    std::vector<std::pair<size_t, int>> columns;
    for (auto c : view.columns) columns.emplace_back(c.column, c.width);
    EXPECT_EQ(columns, (std::vector<std::pair<size_t, int>>{{0, 58},
                                                            {1, 70},
                                                            {2, 76},
                                                            {3, 85},
                                                            {4, 85},
                                                            {5, 185},
                                                            {6, 60},
                                                            {7, 60},
                                                            {8, 60},
                                                            {9, 60},
                                                            {10, 60}}));
}

TEST_F(AddressBookFile, OnlyEnteredNumbersAreWrittenAndAFaxComesBackAsFax) {
    AddressBook book;
    Address& a = book.Add(Address::MadeAt(LocalTime(2024, 3, 5, 14, 7, 9)));
    a.nick = "Meier";
    a.lastname = "Meier";
    a.phones[kPhoneFax] = PhoneNumber{true, "+49", "0221", "123457"};
    ASSERT_TRUE(book.Save(Path()));
    EXPECT_EQ(dir_.Get("AddrBook.xml"),
              "<addressbook>\n<layout>\n<colHidden>1,1,1,1,1,1,1,1,1,1,1</colHidden>\n"
              "<colEnable>1,1,1,1,1,1,1,1,1,1,1</colEnable>\n"
              "<colOrder>0,1,2,3,4,5,6,7,8,9,10</colOrder>\n"
              "<colSize>58,70,76,85,85,185,60,60,60,60,60</colSize>\n<colSort>0</colSort>\n"
              "<sortCol>0</sortCol>\n<sortDir>0</sortDir>\n</layout>\n"
              "<address_item id=\"" +
                  a.id +
                  "\">\n<nick>Meier</nick>\n<firstname/>\n<lastname>Meier</lastname>\n"
                  "<address1/>\n<address2/>\n<zip_code/>\n<city/>\n<country/>\n"
                  "<phone type=\"fax\">\n<country_code>+49</country_code>\n<prefix>0221</prefix>\n"
                  "<number>123457</number>\n</phone>\n<email/>\n<web_server/>\n<comments/>\n"
                  "<last_change>05.03.24 14:07:09</last_change>\n</address_item>\n"
                  "</addressbook>\n");

    AddressBook again = Reloaded(book);
    ASSERT_EQ(again.Addresses().size(), 1u);
    const Address& b = again.Addresses()[0];
    EXPECT_TRUE(b.phones[kPhoneFax].present);
    EXPECT_EQ(b.phones[kPhoneFax].LongText(), "+49 0221 123457");
    for (PhoneType t : {kPhonePrivate, kPhoneBusiness, kPhoneMobile})
        EXPECT_FALSE(b.phones[t].present) << t;
    EXPECT_EQ(b.lastChange, a.lastChange);
    EXPECT_EQ(b.id, a.id);
}

TEST_F(AddressBookFile, NamesAreMatchedExactly) {
    AddressBook book = Loaded(
        "<Adressen>\n<Layout><colSize>1,2,3,4,5,6,7,8,9,10,11</colSize></Layout>\n"
        "<layout><sortDir>1</sortDir><SortCol>1</SortCol></layout>\n"
        "<address_item id='7'>\n<nick>Anna</nick>\n<Nick>ANNA</Nick>\n<City>Köln</City>\n"
        "<phone type='Fax'><number>1</number></phone>\n"
        "<phone type='mobile'><Number>2</Number><number>0171 1234567</number></phone>\n"
        "</address_item>\n<Address_Item id='8'><nick>Bernd</nick></Address_Item>\n"
        "</Adressen>\n");
    ASSERT_EQ(book.Addresses().size(), 1u);
    const Address& a = book.Addresses()[0];
    EXPECT_EQ(a.nick, "Anna");
    EXPECT_EQ(a.city, "");
    EXPECT_FALSE(a.phones[kPhoneFax].present);
    EXPECT_TRUE(a.phones[kPhoneMobile].present);
    EXPECT_EQ(a.phones[kPhoneMobile].number, "0171 1234567");
    EXPECT_EQ(book.Layout().colSize, AddressLayout{}.colSize);
    EXPECT_EQ(book.Layout().sortCol, "0");
    EXPECT_EQ(book.Layout().sortDir, "1");
}

TEST_F(AddressBookFile, EveryTextSurvivesSaveAndReload) {
    AddressBook book;
    Address& a = book.Add(Address::MadeAt(kNow));
    a.id = "12'3&<4>";
    a.nick = "Müller & Söhne";
    a.comments = "a < b && c > d\n\"zitiert\" 'einfach' ]]> <!-- kein Kommentar -->";
    a.city = "  ";
    a.email = "info@müller.de";
    a.phones[kPhoneBusiness] = PhoneNumber{true, "", "030", "123 45-67"};
    AddressBook again = Reloaded(book);
    ASSERT_EQ(again.Addresses().size(), 1u);
    const Address& b = again.Addresses()[0];
    EXPECT_EQ(b.id, a.id);
    EXPECT_EQ(b.nick, a.nick);
    EXPECT_EQ(b.comments, a.comments);
    EXPECT_EQ(b.city, a.city);
    EXPECT_EQ(b.email, a.email);
    EXPECT_EQ(b.phones[kPhoneBusiness].Text(), "030 123 45-67");
}

TEST_F(AddressBookFile, AddressItemsAreFoundAnywhereAndMissingValuesFilledIn) {
    AddressBook book = Loaded(
        "<x><gruppe><address_item><nick>Ohne Id</nick></address_item></gruppe>"
        "<address_item id='5'><last_change>31.12.23 23:59:58</last_change></address_item>"
        "<address_item id='6'><last_change>gestern</last_change></address_item></x>");
    ASSERT_EQ(book.Addresses().size(), 3u);
    EXPECT_EQ(book.Addresses()[0].id, "1700000000");
    EXPECT_EQ(book.Addresses()[0].lastChange, kNow);
    EXPECT_EQ(book.Addresses()[1].lastChange, LocalTime(2023, 12, 31, 23, 59, 58));
    EXPECT_EQ(book.Addresses()[2].lastChange, kNow);
}

// Numbers of a last change far beyond any date overflowed on the way to
// mktime; such a time is none, and the entry gets the time of loading.
TEST_F(AddressBookFile, ALastChangeFarBeyondAnyDateReadsAsNone) {
    AddressBook book = Loaded(
        "<addressbook><address_item id='1'><last_change>1.1.2147483647 1:1:1</last_change>"
        "</address_item><address_item id='2'><last_change>1.-2147483648.23 0:0:0</last_change>"
        "</address_item><address_item id='3'><last_change>1.1.999999 0:0:0</last_change>"
        "</address_item></addressbook>");
    ASSERT_EQ(book.Addresses().size(), 3u);
    EXPECT_EQ(book.Addresses()[0].lastChange, kNow);
    EXPECT_EQ(book.Addresses()[1].lastChange, kNow);
    EXPECT_NE(book.Addresses()[2].lastChange, kNow);
}

TEST_F(AddressBookFile, AFileThatDoesNotParseIsReportedAndChangesNothing) {
    AddressBook book = Loaded(
        "<addressbook><address_item id='1'><nick>A</nick></address_item>"
        "</addressbook>");
    dir_.Put("AddrBook.xml", "<addressbook>\n<address_item id='2'>\n<nick>B</nick>\n</address\n");
    EXPECT_FALSE(book.Load(Path(), kNow));
    ASSERT_EQ(boxes_.Count(), 1u);
    auto box = boxes_.Calls()[0];
    EXPECT_EQ(box.caption, "ERROR");
    EXPECT_EQ(box.text.rfind("ERROR LOADING XML FILE!\n\n" + Path() + "\n\n", 0), 0u) << box.text;
    EXPECT_NE(box.text.find("\nLine: 4\nPosition: "), std::string::npos) << box.text;
    ASSERT_EQ(book.Addresses().size(), 1u);
    EXPECT_EQ(book.Addresses()[0].nick, "A");

    EXPECT_FALSE(book.LoadForWindow(Path(), kNow));
    EXPECT_EQ(boxes_.Texts().back(), "Addressbuch kann nicht gelesen werden!");
    EXPECT_TRUE(book.Addresses().empty());
}

TEST_F(AddressBookFile, AMissingFileIsAnEmptyBook) {
    AddressBook book;
    EXPECT_TRUE(book.LoadForWindow(dir_.File("nie-gespeichert.xml"), kNow));
    EXPECT_TRUE(book.Addresses().empty());
    EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(AddressBookFile, AFailedSaveKeepsTheOldFile) {
    AddressBook book = Loaded("<addressbook><address_item id='1'/></addressbook>");
    book.Add(Address::MadeAt(kNow));
    EXPECT_FALSE(book.SaveForWindow(dir_.File("fehlt/AddrBook.xml")));
    EXPECT_EQ(boxes_.Texts(),
              std::vector<std::string>{"Addressbuch kann nicht gespeichert werden!"});
    EXPECT_EQ(dir_.Get("AddrBook.xml"), "<addressbook><address_item id='1'/></addressbook>");
}

TEST(AddressList, LayoutDecidesColumnsWidthsAndSortMarker) {
    AddressLayout layout;
    layout.colEnable = "1,1,0,1,1,1,1,1,1,1,1";
    layout.colOrder = "5,3,1,2";  // short: the rest keeps the default order
    layout.colSize = "8,70,76,10,85,185";
    layout.sortCol = "1";
    layout.sortDir = "1";
    AddressListView view = ListViewOf(layout);
    std::vector<std::pair<size_t, int>> columns;
    for (auto c : view.columns) columns.emplace_back(c.column, c.width);
    // column 2 is disabled at position 1; 4 to 10 keep their places
    EXPECT_EQ(columns, (std::vector<std::pair<size_t, int>>{{0, 50},
                                                            {3, 50},
                                                            {1, 70},
                                                            {4, 85},
                                                            {5, 185},
                                                            {6, 60},
                                                            {7, 60},
                                                            {8, 60},
                                                            {9, 60},
                                                            {10, 60}}));
    EXPECT_EQ(view.sortColumn, 1u);
    EXPECT_EQ(view.sortDir, 1);
}

TEST(AddressList, ColumnTexts) {
    Address a = Address::MadeAt(kNow);
    a.nick = "Anna";
    a.firstname = "Anna";
    a.lastname = "Meier";
    a.address1 = "Hauptstr. 1";
    a.zipCode = "50667";
    a.city = "Köln";
    a.phones[kPhoneMobile] = PhoneNumber{true, "+49", "0172", "1234567"};
    std::vector<std::string> texts;
    for (size_t c = 0; c < kAddressColumnCount; ++c) texts.push_back(ColumnText(a, c));
    EXPECT_EQ(texts, (std::vector<std::string>{"Anna", "Anna Meier", "Hauptstr. 1", "50667 Köln",
                                               "", "", "", "", "", "0172 1234567", ""}));
}

TEST(AddressList, DeletingAsksWithTheNick) {
    MessageBoxRecorder boxes;
    AddressBook book;
    book.Add(Address::MadeAt(kNow)).nick = "Anna";
    book.Add(Address::MadeAt(kNow)).nick = "Bernd";
    boxes.QueueAnswer(IDNO);
    EXPECT_FALSE(book.AskAndRemove(1));
    EXPECT_TRUE(book.AskAndRemove(1));
    EXPECT_FALSE(book.AskAndRemove(std::nullopt));
    EXPECT_FALSE(book.SelectForEdit(5));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Soll die Addresse 'Bernd' gelöscht werden?",
                                                       "Soll die Addresse 'Bernd' gelöscht werden?",
                                                       "Adresse kann nicht ausgewählt werden!",
                                                       "Adresse kann nicht ausgewählt werden!"}));
    ASSERT_EQ(book.Addresses().size(), 1u);
    EXPECT_EQ(book.Addresses()[0].nick, "Anna");
}

TEST_F(AddressBookFile, AnUnknownRecipientIsKeptOnlyWhenTheUserSaysSo) {
    boxes_.QueueAnswer(IDNO);
    EXPECT_FALSE(OfferToKeepRecipient(Path(), "Anna", "0172 123-4567", kNow));
    EXPECT_EQ(dir_.Get("AddrBook.xml"), "");
    EXPECT_TRUE(OfferToKeepRecipient(Path(), "Anna", "0172 123-4567", kNow));
    EXPECT_TRUE(OfferToKeepRecipient(Path(), "Anna", "01721234567", kNow));  // known by now
    EXPECT_TRUE(OfferToKeepRecipient(Path(), "Büro", "0221 123456", kNow));
    EXPECT_EQ(boxes_.Texts(),
              std::vector<std::string>(
                  3, "Soll die vorliegende Adresse in das Adressbuch eingetragen werden?"));
    AddressBook book;
    ASSERT_TRUE(book.Load(Path(), kNow));
    ASSERT_EQ(book.Addresses().size(), 2u);
    EXPECT_EQ(book.Addresses()[0].nick, "Anna");
    EXPECT_EQ(ColumnText(book.Addresses()[0], 9), "0172 123-4567");
    EXPECT_EQ(book.Addresses()[1].lastname, "Büro");
    EXPECT_EQ(ColumnText(book.Addresses()[1], 6), "0221 123456");
}

}  // namespace
