#include "caller_names.h"

#include <gtest/gtest.h>

#include "msgbox_recorder.h"
#include "test_dir.h"

namespace {

Address Entry(const std::string& nick, const std::string& first, const std::string& last,
              PhoneType type, PhoneNumber phone) {
    Address a = Address::MadeAt(1700000000);
    a.nick = nick;
    a.firstname = first;
    a.lastname = last;
    phone.present = true;
    a.phones[type] = phone;
    return a;
}

AddressBook Book() {
    AddressBook book;
    book.Add(Entry("Hansi", "Hans", "Müller", kPhonePrivate, {true, "+49", "030", "1234567"}));
    book.Add(Entry("", "Erika", "Mustermann", kPhoneMobile, {true, "+49", "172", "123-4567"}));
    book.Add(Entry("", "", "Dupont", kPhoneBusiness, {true, "+33", "1", "23456789"}));
    book.Add(Entry("", "Nachbar", "", kPhonePrivate, {true, "", "", "5551001"}));
    book.Add(Entry("Büro", "", "", kPhoneFax, {true, "", "", "+49 (221) 98 76 54"}));
    // A number that was never entered does not count.
    Address absent = Entry("Leer", "", "", kPhonePrivate, {});
    absent.phones[kPhonePrivate].present = false;
    absent.phones[kPhonePrivate].number = "0699999";
    book.Add(absent);
    return book;
}

TEST(CallerNames, TheNumberAsReportedFindsItsEntryHoweverItWasTyped) {
    AddressBook book = Book();
    struct Case {
        std::string number;
        std::string name;
    } cases[] = {
        {"0301234567", "Hansi"},
        {"01721234567", "Erika Mustermann"},  // country code, prefix without 0, a hyphen
        {"003312345678", ""},                 // one digit short
        {"0033123456789", "Dupont"},
        {"5551001", "Nachbar"},
        {"1234567", "Hansi"},  // the same area, without area code
        {"022198765 4", ""},
        {"0221987654", "Büro"},
        {"0699999", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NameForNumber(book, c.number), c.name) << c.number;
    }
}

TEST(CallerNames, NationalFormOfTypedNumbers) {
    struct Case {
        std::string countryCode, typed, national;
    } cases[] = {
        {"+49", "030 1234567", "0301234567"},
        {"+49", "30 1234567", "0301234567"},
        {"0049", "30 1234567", "0301234567"},
        {"", "+49 30 1234567", "0301234567"},
        {"", "0049 30 1234567", "0301234567"},
        {"+41", "44 1234567", "0041441234567"},
        {"", "1234567", "1234567"},
        {"", " ", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NationalForm(c.countryCode, c.typed), c.national) << c.typed;
    }
}

TEST(CallerNames, TheBookIsReadFromItsFileForEveryCall) {
    TestDir dir;
    std::string path = dir.File("AddrBook.xml");
    EXPECT_EQ(CallerName(path, "0301234567"), "");  // no book yet
    ASSERT_TRUE(Book().Save(path));
    EXPECT_EQ(CallerName(path, "0301234567"), "Hansi");

    MessageBoxRecorder boxes;
    dir.Put("AddrBook.xml", "<addressbook><address_item>");
    EXPECT_EQ(CallerName(path, "0301234567"), "");
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Calls()[0].caption, "ERROR");
}

}  // namespace
