#include "note_handoff.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <set>

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

}  // namespace
