// Twenty relays finishing at once while velo's side keeps taking the list
// of relayed items: every id is taken once, every note is in the file
// whole, every log line is whole.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <sstream>
#include <thread>

#include "relay_station.h"
#include "relayed_items.h"

namespace {

using namespace std::chrono_literals;

TEST(RelayConcurrency, TwentyRelaysLoseAndDoubleNoId) {
    capitest::TempDir dir;
    RelayStation station(dir.Path(), "A");
    constexpr int kRelays = 20;
    std::string notes = dir.File("notes.txt");
    std::vector<std::unique_ptr<capitest::ChildProcess>> relays;
    for (long id = 1; id <= kRelays; ++id) {
        std::string text = "Notiz " + std::to_string(id) + "\n" + std::string(3000, 'a' + id % 26);
        relays.push_back(station.Start(
            station.Prepare(id, text, "operation=2\ntries=1\nrelayFile=" + notes + "\n")));
    }
    std::map<long, int> taken;
    std::atomic<bool> running{true};
    std::thread velo([&] {
        while (running) {
            for (long id : TakeRelayedItems(station.ConfigFile())) ++taken[id];
        }
    });
    for (auto& relay : relays) EXPECT_EQ(relay->Wait(30s), 0);
    running = false;
    velo.join();
    for (long id : TakeRelayedItems(station.ConfigFile())) ++taken[id];

    ASSERT_EQ(taken.size(), size_t(kRelays));
    for (const auto& [id, count] : taken) EXPECT_EQ(count, 1) << id;

    std::string appended = FileText(notes);
    for (long id = 1; id <= kRelays; ++id) {
        std::string text = "Notiz " + std::to_string(id) + "\n" + std::string(3000, 'a' + id % 26);
        EXPECT_NE(appended.find("\n" + text), std::string::npos) << id;
    }
    std::vector<std::string> lines = station.LogLines();
    EXPECT_EQ(lines.size(), size_t(kRelays));
    for (const std::string& line : lines) {
        EXPECT_EQ(line, "SaveNote: Notiz wurde in Datei angehängt nach 1 Versuch(en).");
    }
}

}  // namespace
