#include "note_folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "test_dir.h"

namespace {

TEST(NoteFolders, SectionsAndDirectories) {
    const char* sections[] = {"SendNotes",  "OutNotes",     "InNotes",
                              "PhoneCalls", "RelayedNotes", "DeletedNotes"};
    for (int f = 0; f < kFolderCount; ++f) EXPECT_STREQ(FolderSection(f), sections[f]);
    EXPECT_EQ(FolderDir("/store", "InNotes"), "/store/InNotes");
    EXPECT_EQ(FolderDir("/store", "/elsewhere/In"), "/elsewhere/In");
}

TEST(NoteFolders, ItemsOfOneSecondGetTextFilesOfTheirOwn) {
    setenv("TZ", "UTC", 1);
    tzset();
    TestDir dir;
    std::string folder = dir.File("InNotes");  // created on demand
    auto first = CreateNoteTextFile(folder, 1018880400);
    auto second = CreateNoteTextFile(folder, 1018880400);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->name, "N20020415142000.txt");
    EXPECT_EQ(second->name, "N20020415142001.txt");
    EXPECT_EQ(second->time, 1018880401);
    ASSERT_TRUE(WriteNoteText(folder + "/" + first->name, "erste"));
    ASSERT_TRUE(WriteNoteText(folder + "/" + second->name, "zweite"));
    EXPECT_EQ(ReadNoteText(folder + "/" + first->name), "erste");
    EXPECT_FALSE(CreateNoteTextFile(dir.File("no/such/folder"), 0));
    unsetenv("TZ");
    tzset();
}

TEST(NoteFolders, TextIsReadUpTo2047Characters) {
    TestDir dir;
    std::string text;
    for (int i = 0; i < 2100; ++i) text += "\xC3\xB6";
    ASSERT_TRUE(WriteNoteText(dir.File("N.txt"), text));
    EXPECT_EQ(ReadNoteText(dir.File("N.txt")), text.substr(0, 2 * 2047));
    EXPECT_EQ(ReadNoteText(dir.File("missing.txt")), "");
}

}  // namespace
