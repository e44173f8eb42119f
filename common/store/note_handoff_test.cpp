#include "note_handoff.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include <map>
#include <set>

#include "file_size_limit.h"
#include "profile.h"
#include "test_dir.h"

namespace {

std::optional<std::string> Take(const std::string& file, const std::string& section) {
    auto record = PendingItem(file, section);
    if (record) {
        EXPECT_TRUE(ConfirmTaken(file, section, *record));
    }
    return record;
}

TEST(NoteHandoff, ItemsWaitInLineInsteadOfReplacingThePendingOne) {
    TestDir dir;
    std::string file = dir.File("Notes.dat");
    EXPECT_FALSE(PendingItem(file, "InNotes"));
    ASSERT_TRUE(HandOverItem(file, "InNotes", "-1|0|1|0|||0|1|A"));
    ASSERT_TRUE(HandOverItem(file, "InNotes", "-1|0|2|0|||0|2|B"));
    ASSERT_TRUE(HandOverItem(file, "InNotes", "-1|0|3|0|||0|3|C"));
    ASSERT_TRUE(HandOverItem(file, "PhoneCalls", "-1|5|4|0|||0|4|D"));
    // The slot holds the first, as a reader that knows only the slot expects.
    EXPECT_EQ(
        dir.Get("Notes.dat"),
        "[InNotes]\nnewItemFlag=1\nnewItem=-1|0|1|0|||0|1|A\nnewItem-001=-1|0|2|0|||0|2|B\n"
        "newItem-002=-1|0|3|0|||0|3|C\n[PhoneCalls]\nnewItemFlag=1\nnewItem=-1|5|4|0|||0|4|D\n");
    EXPECT_EQ(Take(file, "InNotes"), "-1|0|1|0|||0|1|A");
    EXPECT_EQ(Take(file, "InNotes"), "-1|0|2|0|||0|2|B");
    ASSERT_TRUE(HandOverItem(file, "InNotes", "-1|0|5|0|||0|5|E"));  // joins the end of the line
    EXPECT_EQ(Take(file, "InNotes"), "-1|0|3|0|||0|3|C");
    EXPECT_EQ(Take(file, "InNotes"), "-1|0|5|0|||0|5|E");
    EXPECT_FALSE(PendingItem(file, "InNotes"));
    EXPECT_EQ(GetPrivateProfileInt("InNotes", "newItemFlag", 9, file.c_str()), 0u);
    EXPECT_EQ(Take(file, "PhoneCalls"), "-1|5|4|0|||0|4|D");
}

TEST(NoteHandoff, ConfirmingAnItemThatIsNoLongerThereChangesNothing) {
    TestDir dir;
    std::string file = dir.File("Notes.dat");
    ASSERT_TRUE(HandOverItem(file, "InNotes", "-1|0|1|0|||0|1|A"));
    EXPECT_FALSE(ConfirmTaken(file, "InNotes", "-1|0|2|0|||0|2|other"));
    EXPECT_EQ(PendingItem(file, "InNotes"), "-1|0|1|0|||0|1|A");
}

TEST(NoteHandoff, ConcurrentWritersAndAReaderLoseNothing) {
    TestDir dir;
    std::string file = dir.File("Notes.dat");
    const int writers = 4, items = 40;
    std::vector<pid_t> pids;
    for (int w = 0; w < writers; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < items; ++i) {
                std::string record =
                    "-1|0|" + std::to_string(w * 1000 + i) + "|0|||0|1|w" + std::to_string(w);
                if (!HandOverItem(file, "InNotes", record)) _exit(2);
            }
            _exit(0);
        }
        pids.push_back(pid);
    }
    std::map<int, int> lastOfWriter;
    std::set<std::string> taken;
    auto drain = [&] {
        while (auto record = Take(file, "InNotes")) {
            EXPECT_TRUE(taken.insert(*record).second) << "taken twice: " << *record;
            int id = std::stoi(record->substr(5));
            int w = id / 1000, i = id % 1000;
            if (lastOfWriter.count(w)) {
                EXPECT_EQ(i, lastOfWriter[w] + 1) << "out of order";
            }
            lastOfWriter[w] = i;
        }
    };
    for (pid_t pid : pids) {
        drain();
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    drain();
    EXPECT_EQ(taken.size(), size_t(writers * items));
}

TEST(NoteHandoff, ANewItemsIdIsNoOtherItemsAndItsTextFileItsOwn) {
    setenv("TZ", "UTC", 1);
    tzset();
    TestDir dir;
    std::string file = dir.File("Notes.dat");
    const long t = 1018880400;  // N20020415142000.txt
    dir.Put("Notes.dat", "[OutNotes]\nItems=1\nitem-001=-1|0|" + std::to_string(t) +
                             "|1\n[PhoneCalls]\nnewItemFlag=1\nnewItem=-1|5|" +
                             std::to_string(t + 1) + "|0\n");
    mkdir(dir.File("InNotes").c_str(), 0777);
    dir.Put("InNotes/N20020415142002.txt", "an older text nobody names");
    std::string folder = dir.File("InNotes");

    auto note = HandOverNewItem(file, "InNotes", NoteItem(t), &folder, "Hallo");
    ASSERT_TRUE(note);
    EXPECT_EQ(note->NoteId(), t + 3);  // t: filed, t+1: waiting, t+2: its name is taken
    EXPECT_EQ(note->Get(NoteItem::kTextFile), "N20020415142003.txt");
    EXPECT_EQ(dir.Get("InNotes/N20020415142003.txt"), "Hallo");
    EXPECT_EQ(dir.Get("InNotes/N20020415142002.txt"), "an older text nobody names");

    NoteItem call(t);
    call.SetNumber(NoteItem::kType, 5);
    auto first = HandOverNewItem(file, "PhoneCalls", call);
    auto second = HandOverNewItem(file, "PhoneCalls", call);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->NoteId(), t + 2);
    EXPECT_EQ(second->NoteId(), t + 4);
    EXPECT_EQ(PendingItem(file, "InNotes"), note->FormatHandoff());

    // When the handoff cannot be written, no text file is left behind.
    {
        FileSizeLimit full(64);  // room for the text, not for the notes file
        EXPECT_FALSE(HandOverNewItem(file, "InNotes", NoteItem(t), &folder, "lost?"));
    }
    EXPECT_FALSE(std::ifstream(dir.File("InNotes/N20020415142004.txt")).good());
    EXPECT_EQ(PendingItem(file, "InNotes"), note->FormatHandoff());
    unsetenv("TZ");
    tzset();
}

}  // namespace
