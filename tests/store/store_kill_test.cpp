// telvora killed (SIGKILL, or SIGHUP as when its terminal closes) at many
// moments while it changes the store: afterwards every item is in the
// store exactly once, in the handoff or in its folder, with its text.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "capisim_process.h"
#include "child_process.h"
#include "item_list.h"
#include "note_folders.h"
#include "note_handoff.h"
#include "note_item.h"
#include "profile.h"
#include "profile_document.h"

namespace {

using namespace std::chrono_literals;
using capitest::ChildProcess;

constexpr long kFirstId = 1018880000;

// Kill moments from at once to well after the work is done; a machine
// that is slower or faster only moves which moment hits what.
constexpr std::chrono::microseconds kMoments[] = {0us, 500us, 1ms,  2ms,  4ms,
                                                  8ms, 15ms,  30ms, 60ms, 120ms};

// Items sent long ago, so that each write of the store takes a while.
constexpr long kFiller = 2000;
std::string FilledStore() {
    std::string text = "[OutNotes]\nItems=" + std::to_string(kFiller) + "\n";
    char line[128];
    for (long i = 1; i <= kFiller; ++i) {
        std::snprintf(line, sizeof line, "item-%03ld=-1|0|%ld|1|||2|%ld|Eva|040 %ld|Alt|\n", i, i,
                      i, i);
        text += line;
    }
    return text;
}

class StoreKillTest : public testing::Test {
protected:
    std::string Store() const { return dir_.File("install"); }
    std::string Notes() const { return dir_.File("install/Notes.dat"); }

    void Fresh(const std::string& notes) {
        std::filesystem::remove_all(Store());
        std::filesystem::create_directories(Store());
        std::ofstream(Notes()) << notes;
    }

    std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& args) {
        std::map<std::string, std::string> env{{"TELVORA_HOME", Store()},
                                               {"HOME", dir_.Path()},
                                               {"XDG_CONFIG_HOME", dir_.File("config")}};
        auto child = std::make_unique<ChildProcess>(TELVORA_PATH, args, env, dir_.Path(),
                                                    dir_.File("stderr.txt"));
        EXPECT_TRUE(child->Started());
        return child;
    }

    // How often each note id is in the store: filed in a folder or waiting.
    std::map<long, int> IdCounts() {
        std::map<long, int> counts;
        auto notes = ReadProfile(Notes());
        if (!notes) return counts;
        ProfileReader reader(*notes);
        for (int f = 0; f < kFolderCount; ++f) {
            for (const std::string& record : ItemList::ReadRecords(reader, FolderSection(f))) {
                ++counts[NoteItem::Parse(record)->NoteId()];
            }
        }
        for (int f : {kInNotes, kPhoneCalls}) {
            for (const std::string& record : WaitingItems(reader, FolderSection(f))) {
                ++counts[NoteItem::Parse(record)->NoteId()];
            }
        }
        return counts;
    }

    // The folder that holds id, and its record.
    std::pair<int, std::optional<NoteItem>> Filed(long id) {
        auto notes = ReadProfile(Notes());
        ProfileReader reader(*notes);
        for (int f = 0; f < kFolderCount; ++f) {
            for (const std::string& record : ItemList::ReadRecords(reader, FolderSection(f))) {
                auto item = NoteItem::Parse(record);
                if (item->NoteId() == id) return {f, item};
            }
        }
        return {-1, std::nullopt};
    }

    std::string TextOf(int folder, const NoteItem& item) {
        std::ifstream in(Store() + "/" + FolderSection(folder) + "/" +
                         item.Get(NoteItem::kTextFile));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    capitest::TempDir dir_;
};

std::string Waiting(const char* section, long first, int count, int type) {
    std::string text = std::string("[") + section + "]\nnewItemFlag=1\n";
    for (int i = 0; i < count; ++i) {
        char key[32];
        std::snprintf(key, sizeof key, i ? "newItem-%03d" : "newItem", i);
        text += std::string(key) + "=-1|" + std::to_string(type) + "|" + std::to_string(first + i) +
                "|0|||3|" + std::to_string(first + i) + "|Anrufer|0221 " + std::to_string(i) +
                "|Anruf|\n";
    }
    return text;
}

TEST_F(StoreKillTest, ATakeKilledAtAnyMomentLosesAndDoublesNothing) {
    const int calls = 300, notes = 20;
    for (int signal : {SIGKILL, SIGHUP}) {
        for (auto moment : kMoments) {
            SCOPED_TRACE(std::to_string(signal) + " after " + std::to_string(moment.count()) +
                         " us");
            Fresh(Waiting("PhoneCalls", kFirstId, calls, 5) +
                  Waiting("InNotes", kFirstId + calls, notes, 0));
            auto take = Start({"take"});
            std::this_thread::sleep_for(moment);
            take->Signal(signal);
            ASSERT_TRUE(take->Wait(10s));
            auto counts = IdCounts();
            ASSERT_EQ(counts.size(), size_t(calls + notes));
            for (auto [id, count] : counts) ASSERT_EQ(count, 1) << id;
        }
    }
}

TEST_F(StoreKillTest, AWatchingTakeKilledWhileItemsArriveKeepsEachOnce) {
    for (int signal : {SIGKILL, SIGHUP}) {
        SCOPED_TRACE(signal);
        Fresh("");
        auto watch = Start({"take", "--watch"});
        long next = kFirstId;
        auto handOver = [&](int count) {
            for (int i = 0; i < count; ++i, ++next) {
                ASSERT_TRUE(HandOverItem(Notes(), "PhoneCalls",
                                         "-1|5|" + std::to_string(next) + "|0|||3|1|||Anruf|"));
            }
        };
        handOver(30);
        // Killed once it took some, while more arrive.
        ASSERT_TRUE(watch->WaitForLine("PhoneCalls", 10s));
        std::thread more([&] { handOver(30); });
        watch->Signal(signal);
        more.join();
        auto status = watch->Wait(10s);
        ASSERT_TRUE(status);
        // Closing the terminal ends the watch as Ctrl+C does.
        if (signal == SIGHUP) {
            EXPECT_EQ(*status, 0);
        }
        auto counts = IdCounts();
        ASSERT_EQ(counts.size(), 60u);
        for (auto [id, count] : counts) ASSERT_EQ(count, 1) << id;
    }
}

TEST_F(StoreKillTest, NewMoveAndDeleteKilledAtAnyMomentLeaveEachItemOnceWithItsText) {
    const std::string filed = FilledStore() + "[InNotes]\nItems=1\nitem-001=-1|0|" +
                              std::to_string(kFirstId) + "|0|||0|1|Hans|030|Hallo|N1.txt\n";
    struct Case {
        std::vector<std::string> args;
        std::string textDir;  // where the text goes
        int target;
    } cases[] = {
        {{"move", std::to_string(kFirstId), "InNotes", "RelayedNotes"},
         "RelayedNotes",
         kRelayedNotes},
        {{"delete", "InNotes", std::to_string(kFirstId)}, "DeletedNotes", kDeletedNotes},
        {{"new", "030 1", "Bernd", "Treffen", "--text", "Der Text"}, "SendNotes", kSendNotes},
    };
    for (const Case& c : cases) {
        // Killed the moment the text shows up where it goes, and at moments around.
        std::vector<std::optional<std::chrono::microseconds>> kills{std::nullopt};
        for (auto moment : kMoments) kills.push_back(moment);
        for (auto moment : kills) {
            SCOPED_TRACE(c.args[0] + (moment ? " after " + std::to_string(moment->count()) + " us"
                                             : " when its text appears"));
            Fresh(filed);
            std::filesystem::create_directories(Store() + "/InNotes");
            std::ofstream(Store() + "/InNotes/N1.txt") << "Der Text";
            std::string textDir = Store() + "/" + c.textDir;
            auto child = Start(c.args);
            if (moment) {
                std::this_thread::sleep_for(*moment);
            } else {
                auto deadline = std::chrono::steady_clock::now() + 10s;
                auto appeared = [&] {
                    std::error_code ec;
                    return !std::filesystem::is_empty(textDir, ec) && !ec;
                };
                while (!appeared() && std::chrono::steady_clock::now() < deadline) {
                    std::this_thread::sleep_for(100us);
                }
            }
            child->Signal(SIGKILL);
            ASSERT_TRUE(child->Wait(10s));
            // Every item once; the one concerned, where it was or where it
            // went, with its text.
            auto counts = IdCounts();
            for (auto [id, count] : counts) ASSERT_EQ(count, 1) << id;
            // "new" may not have got as far as its note.
            size_t before = static_cast<size_t>(kFiller) + 1;
            bool made = c.args[0] == "new" && counts.size() == before + 1;
            ASSERT_EQ(counts.size(), before + made);
            for (auto [id, count] : counts) {
                if (id <= kFiller) continue;
                auto [folder, item] = Filed(id);
                ASSERT_TRUE(item);
                EXPECT_TRUE(folder == c.target || (id == kFirstId && folder == kInNotes)) << folder;
                EXPECT_EQ(TextOf(folder, *item), "Der Text");
            }
        }
    }
}

}  // namespace
