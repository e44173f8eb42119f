#include "old_address_list.h"

#include <gtest/gtest.h>

#include "address_book.h"
#include "msgbox_recorder.h"
#include "test_dir.h"

namespace {

constexpr std::time_t kConvertedAt = 1700000000;

class OldAddressList : public testing::Test {
protected:
    void SetUp() override {
        dir_.Put("AddrBook.dat",
                 "[AddressBook]\nItems=2\n"
                 "item-001=3|&Meier & Co|0221 123456|0171 1111111||0177 3333333|Kunde\n"
                 "item-002=9|Schulz||||\n");
    }
    bool Convert() { return ConvertOldAddressList(dir_.File("AddrBook.dat"), Xml(), kConvertedAt); }
    std::string Xml() const { return dir_.File("AddrBook.xml"); }
    AddressBook Book() {
        AddressBook book;
        EXPECT_TRUE(book.Load(Xml(), kConvertedAt));
        return book;
    }

    TestDir dir_;
    MessageBoxRecorder boxes_;
};

TEST_F(OldAddressList, EveryOldEntryBecomesAnAddress) {
    ASSERT_TRUE(Convert());
    AddressBook book = Book();
    ASSERT_EQ(book.Addresses().size(), 2u);
    const Address& meier = book.Addresses()[0];
    EXPECT_EQ(meier.id, "3");
    EXPECT_EQ(meier.nick, " Meier & Co");
    EXPECT_EQ(meier.lastname, " Meier & Co");
    EXPECT_EQ(meier.phones[kPhonePrivate].LongText(), "+49 0221 123456");
    EXPECT_EQ(meier.phones[kPhoneMobile].LongText(), "+49 0177 3333333");  // the last one wins
    EXPECT_FALSE(meier.phones[kPhoneBusiness].present);
    EXPECT_EQ(meier.comments, "Kunde");
    EXPECT_EQ(meier.lastChange, kConvertedAt);
    const Address& schulz = book.Addresses()[1];
    EXPECT_EQ(schulz.id, "9");
    EXPECT_EQ(schulz.nick, "Schulz");
    for (const PhoneNumber& p : schulz.phones) EXPECT_FALSE(p.present);
    EXPECT_EQ(dir_.Get("AddrBook.dat").find("update=1\n") != std::string::npos, true);
    EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(OldAddressList, ItIsConvertedOnlyOnce) {
    ASSERT_TRUE(Convert());
    dir_.Put("AddrBook.xml",
             "<addressbook><address_item id='1'><nick>Neu</nick></address_item>"
             "</addressbook>");
    ASSERT_TRUE(Convert());
    EXPECT_EQ(dir_.Get("AddrBook.xml"),
              "<addressbook><address_item id='1'><nick>Neu</nick></address_item></addressbook>");
}

TEST_F(OldAddressList, EntriesOfTheXmlBookStayFirst) {
    dir_.Put("AddrBook.xml",
             "<addressbook><address_item id='1'><nick>Neu</nick></address_item>"
             "</addressbook>");
    ASSERT_TRUE(Convert());
    AddressBook book = Book();
    ASSERT_EQ(book.Addresses().size(), 3u);
    EXPECT_EQ(book.Addresses()[0].nick, "Neu");
    EXPECT_EQ(book.Addresses()[2].nick, "Schulz");
}

TEST_F(OldAddressList, AnUnreadableBookIsKeptAside) {
    dir_.Put("AddrBook.xml", "<addressbook><address_item id='1'>");
    ASSERT_TRUE(Convert());
    EXPECT_EQ(boxes_.Texts().back(), "Addressbuch kann nicht gelesen werden!");
    EXPECT_EQ(dir_.Get("AddrBook.xml.bak"), "<addressbook><address_item id='1'>");
    EXPECT_EQ(Book().Addresses().size(), 2u);
}

TEST_F(OldAddressList, AFailedSaveIsTriedAgainNextTime) {
    std::string unwritable = dir_.File("fehlt/AddrBook.xml");
    EXPECT_FALSE(ConvertOldAddressList(dir_.File("AddrBook.dat"), unwritable, kConvertedAt));
    EXPECT_EQ(boxes_.Texts(),
              std::vector<std::string>{"Addressbuch kann nicht gespeichert werden!"});
    EXPECT_EQ(dir_.Get("AddrBook.dat").find("update="), std::string::npos);
    ASSERT_TRUE(Convert());
    EXPECT_EQ(Book().Addresses().size(), 2u);
}

TEST_F(OldAddressList, AFreshInstallationGetsAnEmptyBookQuietly) {
    TestDir fresh;
    ASSERT_TRUE(
        ConvertOldAddressList(fresh.File("AddrBook.dat"), fresh.File("AddrBook.xml"), kConvertedAt));
    EXPECT_EQ(boxes_.Count(), 0u);
    EXPECT_EQ(fresh.Get("AddrBook.dat"), "[AddressBook]\nupdate=1\n");
    AddressBook book;
    ASSERT_TRUE(book.Load(fresh.File("AddrBook.xml"), kConvertedAt));
    EXPECT_TRUE(book.Addresses().empty());
}

}  // namespace
