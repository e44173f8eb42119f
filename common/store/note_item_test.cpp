#include "note_item.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

TEST(NoteItem, HandoffLineParsesIntoItsFields) {
    auto item = NoteItem::Parse(
        "-1|0|1018880000|0|||3|1018880000|Hans|0301234567|Hallo|N20020415142000.txt", 5);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Type(), 0);
    EXPECT_EQ(item->NoteId(), 1018880000);
    EXPECT_FALSE(item->IsRead());
    EXPECT_EQ(item->Get(NoteItem::kInfo), "");
    EXPECT_EQ(item->Get(NoteItem::kMsn), "");
    EXPECT_EQ(item->Number(NoteItem::kState), 3);
    EXPECT_EQ(item->Number(NoteItem::kDateTime), 1018880000);
    EXPECT_EQ(item->Get(NoteItem::kName), "Hans");
    EXPECT_EQ(item->Get(NoteItem::kNumber), "0301234567");
    EXPECT_EQ(item->Get(NoteItem::kSubject), "Hallo");
    EXPECT_EQ(item->Get(NoteItem::kTextFile), "N20020415142000.txt");
    EXPECT_EQ(item->Get(NoteItem::kProgram), "Telvora");
    EXPECT_EQ(item->Get(NoteItem::kAddress), "");
}

TEST(NoteItem, ShortAndLongRecordsAndRejects) {
    auto shortItem = NoteItem::Parse("-1|5|77", 1234);
    ASSERT_TRUE(shortItem);
    EXPECT_EQ(shortItem->Type(), 5);
    EXPECT_EQ(shortItem->NoteId(), 77);
    EXPECT_EQ(shortItem->Number(NoteItem::kState), 1);        // default of a new item
    EXPECT_EQ(shortItem->Number(NoteItem::kDateTime), 1234);  // now
    EXPECT_EQ(shortItem->Get(NoteItem::kProgram), "Telvora");

    auto longItem = NoteItem::Parse("-1|0|1|1|i|m|0|2|n|r|s|f|p|a|extra|more");
    ASSERT_TRUE(longItem);
    EXPECT_EQ(longItem->Get(NoteItem::kAddress), "a");
    EXPECT_EQ(longItem->Format(), "-1|0|1|1|i|m|0|2|n|r|s|f|p|a");

    EXPECT_FALSE(NoteItem::Parse(""));
    EXPECT_FALSE(NoteItem::Parse("-1"));
    EXPECT_TRUE(NoteItem::Parse("garbage|"));  // parses, as the C library would read it
}

TEST(NoteItem, ABarTypedIntoAFieldKeepsTheRecordIntact) {
    NoteItem item(1000);
    item.Set(NoteItem::kName, "Meier | Sohn");
    item.Set(NoteItem::kNumber, "030|123");
    item.Set(NoteItem::kSubject, "a|b|c");
    for (const std::string& record : {item.Format(), item.FormatHandoff()}) {
        auto back = NoteItem::Parse(record);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->Get(NoteItem::kName), "Meier | Sohn");
        EXPECT_EQ(back->Get(NoteItem::kNumber), "030|123");
        EXPECT_EQ(back->Get(NoteItem::kSubject), "a|b|c");
        EXPECT_EQ(back->Get(NoteItem::kTextFile), "");
    }
    EXPECT_EQ(item.FormatHandoff(),
              "-1|0|1000|0|||1|1000|Meier \xC2\xA6 Sohn|030\xC2\xA6"
              "123|a\xC2\xA6"
              "b\xC2\xA6"
              "c|");
}

TEST(NoteItem, TypeNamesTitlesAndDates) {
    const char* names[] = {"Telvora", "Datei", "D1 SMS", "D2 SMS", "E-Plus SMS", "Anruf", "Email"};
    for (int t = 0; t < 7; ++t) EXPECT_STREQ(NoteItem::TypeName(t), names[t]);
    EXPECT_STREQ(NoteItem::TypeName(9), "Unbekannt");
    EXPECT_STREQ(NoteItem::TypeName(-1), "Unbekannt");
    EXPECT_STREQ(NoteItem::ColumnTitle(4), "ISDN-Nr./MSN/EAZ");
    EXPECT_STREQ(NoteItem::ColumnTitle(11), "");

    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    EXPECT_EQ(NoteItem::FormatDateTime(0), "01.01.1970 01:00:00");
    EXPECT_EQ(NoteItem::FormatDateTime(1018880000), "15.04.2002 16:13:20");
    unsetenv("TZ");
    tzset();
}

}  // namespace
