#include "item_list.h"

#include <gtest/gtest.h>

#include <chrono>

#include "test_dir.h"

namespace {

TEST(ItemList, ParsesRecordsOfAnyShape) {
    struct Case {
        const char* value;
        int id;
        std::vector<std::string> fields;
    } cases[] = {
        {"7|a|b|c", 7, {"a", "b", "c"}},
        {"7|a", 7, {"a", "", ""}},  // too few fields: the rest stay empty
        {"7", 7, {"", "", ""}},
        {"7|a|b|c|d|e", 7, {"a", "b", "c"}},  // too many: the excess is ignored
        {"12|||", 12, {"", "", ""}},
        {"x|a|b|c", 0, {"a", "b", "c"}},
        {"3|a\xC2\xA6"
         "b|c|d",
         3,
         {"a|b", "c", "d"}},
    };
    for (const Case& c : cases) {
        auto item = ItemList::ParseRecord(c.value, 3);
        ASSERT_TRUE(item) << c.value;
        EXPECT_EQ(item->id, c.id) << c.value;
        EXPECT_EQ(item->fields, c.fields) << c.value;
    }
    EXPECT_FALSE(ItemList::ParseRecord("", 3));
}

TEST(ItemList, ABarInAFieldDoesNotShiftTheOthers) {
    ListItem item{4, {"Meier|Schulz", "0221 123", "x"}};
    std::string record = ItemList::FormatRecord(item);
    EXPECT_EQ(record, "4|Meier\xC2\xA6Schulz|0221 123|x");
    auto back = ItemList::ParseRecord(record, 3);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fields, item.fields);
}

TEST(ItemList, ALongRecordIsShortenedToFitWithEveryField) {
    std::string umlauts;
    for (int i = 0; i < 100; ++i) umlauts += "\xC3\xA4";  // 100 characters of two bytes each
    ListItem item{1, {std::string(300, 'a'), "short", umlauts, "end"}};
    TestDir dir;
    SettingsFile file(dir.File("x.cfg"));
    ItemList list(4);
    list.Items().push_back(item);
    ASSERT_TRUE(list.Save(file, "L"));
    ItemList loaded(4);
    loaded.Load(file, "L");
    ASSERT_EQ(loaded.Items().size(), 1u);
    const auto& f = loaded.Items()[0].fields;
    EXPECT_EQ(f[1], "short");
    EXPECT_EQ(f[3], "end");
    EXPECT_EQ(f[2], umlauts);  // the longest field gave way
    // 255 characters less the id, four bars, 5 + 100 + 3 of the other fields
    EXPECT_EQ(f[0], std::string(142, 'a'));
}

TEST(ItemList, EveryRecordPresentIsLoadedAndKeptWhateverItemsSays) {
    const std::string records =
        "item-001=1|Alpha|010xx|a\nitem-002=\nitem-003=3|Gamma|01033|c\n"
        "item-004=4|stale|x|y\nitem-005=\nitem-006=6|beyond the gap|x|y\n";
    // A count too small, missing, or absurdly large: none may hide a record
    // (which the next save would remove) or make the load wait for it.
    for (const char* count : {"Items=3\n", "", "Items=2000000000\n"}) {
        SCOPED_TRACE(count);
        TestDir dir;
        dir.Put("t.cfg", std::string("[Providers]\n") + count + records);
        SettingsFile file(dir.File("t.cfg"));
        ItemList list(3);
        ASSERT_TRUE(list.Load(file, "Providers"));
        ASSERT_EQ(list.Items().size(), 4u);
        EXPECT_EQ(list.Items()[3].fields[0], "beyond the gap");
        list.Items().erase(list.Items().begin() + 1);
        ASSERT_TRUE(list.Save(file, "Providers"));
        EXPECT_EQ(dir.Get("t.cfg"), std::string("[Providers]\n") + (*count ? "Items=3\n" : "") +
                                        "item-001=1|Alpha|010xx|a\nitem-002=4|stale|x|y\n"
                                        "item-003=6|beyond the gap|x|y\n" +
                                        (*count ? "" : "Items=3\n"));
    }
}

TEST(ItemList, LongFieldsAreShortenedInLinearTime) {
    // Cut one character at a time from the first longest field, as before:
    // equal fields end one apart, the earlier one shorter.
    ListItem twins{1, {std::string(200, 'a'), std::string(200, 'b'), std::string(10, 'c')}};
    EXPECT_EQ(
        ItemList::FormatRecord(twins),
        "1|" + std::string(120, 'a') + "|" + std::string(121, 'b') + "|" + std::string(10, 'c'));
    // A subject of 120 KB once took 40 s of CPU.
    ListItem huge{2, {std::string(120000, 's'), "Hans"}};
    auto start = std::chrono::steady_clock::now();
    std::string record = ItemList::FormatRecord(huge);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(record, "2|" + std::string(248, 's') + "|Hans");
}

TEST(ItemList, EmptiedListKeepsOnlyItsCount) {
    TestDir dir;
    dir.Put("t.cfg", "[L]\nItems=2\nitem-001=1|a\nitem-002=2|b\n");
    SettingsFile file(dir.File("t.cfg"));
    ItemList list(1);
    list.Load(file, "L");
    list.Items().clear();
    ASSERT_TRUE(list.Save(file, "L"));
    EXPECT_EQ(dir.Get("t.cfg"), "[L]\nItems=0\n");
}

TEST(ItemList, FindsByIdAndFieldAndNumbersNewItems) {
    TestDir dir;
    dir.Put("t.cfg", "[L]\nItems=3\nitem-001=5|Anna|1\nitem-002=12|Bernd|2\nitem-003=7|anna|3\n");
    SettingsFile file(dir.File("t.cfg"));
    ItemList list(2);
    list.Load(file, "L");
    EXPECT_EQ(list.LargestId(), 12);
    ASSERT_TRUE(list.FindById(7));
    EXPECT_EQ(list.FindById(7)->fields[0], "anna");
    EXPECT_FALSE(list.FindById(6));
    ASSERT_TRUE(list.FindByField(0, "anna"));
    EXPECT_EQ(list.FindByField(0, "anna")->id, 7);  // exact text, case included
    EXPECT_FALSE(list.FindByField(5, "x"));
    ListItem& added = list.Add();
    EXPECT_EQ(added.id, 13);
    EXPECT_EQ(added.fields.size(), 2u);
    EXPECT_EQ(ItemList(1).LargestId(), 0);
}

// An id written by hand may be the largest int there is: a new item then
// takes the smallest free id instead of one past it, which does not exist.
TEST(ItemList, ANewItemAfterTheLargestIdThereIsTakesAFreeOne) {
    TestDir dir;
    dir.Put("t.cfg", "[L]\nItems=3\nitem-001=2147483647|Anna\nitem-002=1|Bernd\nitem-003=3|C\n");
    SettingsFile file(dir.File("t.cfg"));
    ItemList list(1);
    list.Load(file, "L");
    EXPECT_EQ(list.Add().id, 2);
    EXPECT_EQ(list.Add().id, 4);
}

// A record under a key that a line before it holds (a repeated key, or a
// line of the same name without "=") is not read. A save removed each
// stale key once for every line of its name, and so took such a record
// with it; it now stays, and the next load reads it.
TEST(ItemList, ASaveKeepsARecordThatARepeatedKeyHid) {
    struct Case {
        const char* file;
        std::vector<std::string> loaded, reloaded;
    } cases[] = {
        {"[L]\nitem-001=1|A\nitem-003=3|X\nitem-003=4|Y\n", {"A", "X"}, {"A", "X", "Y"}},
        {"[L]\nitem-001=1|A\nitem-002\nitem-002=2|B\nitem-002=3|C\n", {"A"}, {"A", "B"}},
    };
    for (const Case& c : cases) {
        TestDir dir;
        dir.Put("t.cfg", c.file);
        SettingsFile file(dir.File("t.cfg"));
        auto names = [&] {
            ItemList list(1);
            list.Load(file, "L");
            std::vector<std::string> n;
            for (const ListItem& i : list.Items()) n.push_back(i.fields[0]);
            return n;
        };
        EXPECT_EQ(names(), c.loaded) << c.file;
        ItemList list(1);
        list.Load(file, "L");
        ASSERT_TRUE(list.Save(file, "L"));
        EXPECT_EQ(names(), c.reloaded) << c.file;
    }
}

TEST(ItemList, RoundTripsThroughTheFile) {
    TestDir dir;
    SettingsFile file(dir.File("t.cfg"));
    ItemList list(8);
    for (int i = 0; i < 12; ++i) {
        ListItem& item = list.Add();
        for (size_t f = 0; f < 8; ++f)
            item.fields[f] = "f" + std::to_string(f) + "-" + std::to_string(i);
    }
    list.Items()[3].fields[2] = "";
    ASSERT_TRUE(list.Save(file, "RelayProfiles"));
    ItemList back(8);
    back.Load(file, "RelayProfiles");
    ASSERT_EQ(back.Items().size(), list.Items().size());
    for (size_t i = 0; i < list.Items().size(); ++i) {
        EXPECT_EQ(back.Items()[i].id, list.Items()[i].id);
        EXPECT_EQ(back.Items()[i].fields, list.Items()[i].fields);
    }
}

}  // namespace
