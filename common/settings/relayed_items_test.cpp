#include "relayed_items.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "profile.h"
#include "test_dir.h"

namespace {

std::string RelayedItemsOf(const std::string& file) {
    char value[1024];
    GetPrivateProfileString("RelayResults", "RelayedItems", "(none)", value, sizeof value,
                            file.c_str());
    return value;
}

TEST(RelayedItems, AppendingAddsTheIdBehindACommaAndClearsItsFailure) {
    TestDir dir;
    std::string cfg = dir.File("Telvora.cfg");
    dir.Put("Telvora.cfg",
            "[Parameters]\ndebug=0\n[RelayResults]\nRelayedItems=\n"
            "[RelayFailures]\n9=MailNote: FEHLER\n12=SaveNote: FEHLER\n");
    ASSERT_TRUE(AppendRelayedItem(cfg, 9));
    EXPECT_EQ(dir.Get("Telvora.cfg"),
              "[Parameters]\ndebug=0\n[RelayResults]\nRelayedItems=9\n"
              "[RelayFailures]\n12=SaveNote: FEHLER\n");

    dir.Put("Telvora.cfg", "[RelayResults]\nRelayedItems=4\n");
    ASSERT_TRUE(AppendRelayedItem(cfg, 9));
    EXPECT_EQ(RelayedItemsOf(cfg), "4,9");

    // A list far longer than one value of the old reader keeps every id.
    std::string longList;
    for (long id = 1700000000; id < 1700000020; ++id) {
        ASSERT_TRUE(AppendRelayedItem(cfg, id));
        longList += "," + std::to_string(id);
    }
    EXPECT_EQ(RelayedItemsOf(cfg), "4,9" + longList);
}

TEST(RelayedItems, TakingReturnsEveryIdOnceAndLeavesTheListEmpty) {
    TestDir dir;
    std::string cfg = dir.File("Telvora.cfg");
    dir.Put("Telvora.cfg", "[RelayResults]\nRelayedItems=12,15,x,,1700000001\n");
    EXPECT_EQ(TakeRelayedItems(cfg), (std::vector<long>{12, 15, 1700000001}));
    EXPECT_EQ(dir.Get("Telvora.cfg"), "[RelayResults]\nRelayedItems=\n");
    EXPECT_TRUE(TakeRelayedItems(cfg).empty());

    // An empty or missing list is not written at all.
    dir.Put("Telvora.cfg", "; by hand\n[Sender]\nmsn=1\n");
    EXPECT_TRUE(TakeRelayedItems(cfg).empty());
    EXPECT_EQ(dir.Get("Telvora.cfg"), "; by hand\n[Sender]\nmsn=1\n");
}

TEST(RelayedItems, AFailureIsRecordedUnderTheItemsId) {
    TestDir dir;
    std::string cfg = dir.File("Telvora.cfg");
    ASSERT_TRUE(
        RecordRelayFailure(cfg, 7, "D1-SMS: FEHLER: x [Logon fehlgeschlagen!] nach 3 Versuch(en)"));
    EXPECT_EQ(dir.Get("Telvora.cfg"),
              "[RelayFailures]\n7=D1-SMS: FEHLER: x [Logon fehlgeschlagen!] nach 3 Versuch(en)\n");
    EXPECT_FALSE(RecordRelayFailure(dir.File("missing/Telvora.cfg"), 7, "x"));
}

TEST(RelayedItems, NoteIdsAreDecimalNumbers) {
    struct Case {
        const char* text;
        bool ok;
        long id;
    } cases[] = {{"9", true, 9},
                 {"1700000001", true, 1700000001},
                 {"", false, 0},
                 {"-3", false, 0},
                 {"12a", false, 0},
                 {" 12", false, 0},
                 {"99999999999999999999", false, 0}};
    for (const Case& c : cases) {
        long id = 0;
        EXPECT_EQ(ParseNoteId(c.text, id), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(id, c.id) << c.text;
        }
    }
}

// Twenty writers append while a reader keeps taking the list: every id
// comes out exactly once.
TEST(RelayedItems, WritersAndATakerRacingLoseAndDoubleNothing) {
    TestDir dir;
    std::string cfg = dir.File("Telvora.cfg");
    dir.Put("Telvora.cfg", "[Parameters]\ndebug=0\n");
    constexpr int kWriters = 20, kIdsEach = 10;
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < kIdsEach; ++i) {
                if (!AppendRelayedItem(cfg, 1000L * (w + 1) + i)) _exit(1);
            }
            _exit(0);
        }
        writers.push_back(pid);
    }
    std::map<long, int> taken;
    auto take = [&] {
        for (long id : TakeRelayedItems(cfg)) ++taken[id];
    };
    int running = kWriters;
    while (running > 0) {
        take();
        int status = 0;
        pid_t done = waitpid(-1, &status, WNOHANG);
        if (done > 0) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            --running;
        }
    }
    take();
    ASSERT_EQ(taken.size(), size_t(kWriters * kIdsEach));
    for (const auto& [id, count] : taken) EXPECT_EQ(count, 1) << id;
    EXPECT_EQ(RelayedItemsOf(cfg), "");
}

}  // namespace
