// How long velo's document takes to load and to save 10,000 items spread
// over the six folders. Prints
//   FIGURE store-load-10000 <ms> ms
//   FIGURE store-save-10000 <ms> ms
// as the median of the runs.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "../bench_timing.h"
#include "velo_doc.h"

namespace {

constexpr int kItems = 10000;

std::string g_store;
std::vector<double> g_loadMs, g_saveMs;

void Fill(CVeloDoc& doc) {
    for (int i = 0; i < kItems; ++i) {
        NoteItem item(1040000000L + i);
        item.Set(NoteItem::kName, "Erika Mustermann");
        item.Set(NoteItem::kNumber, "0221 98765" + std::to_string(i % 100));
        item.Set(NoteItem::kSubject, "Besprechung am Montag " + std::to_string(i));
        item.Set(NoteItem::kTextFile, "N2003" + std::to_string(100000000 + i) + ".txt");
        // Straight into memory: AddItem would write the store 10,000 times.
        doc.Folder(i % kFolderCount).Items().push_back(item);
    }
}

// A copy under a new inode, so that the next load reads the file as a
// freshly started velo would.
void Refresh() {
    std::string notes = g_store + "/Notes.dat";
    std::filesystem::copy_file(notes, notes + ".copy",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::rename(notes + ".copy", notes);
}

void BM_StoreLoad(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Refresh();
        CVeloDoc doc(g_store, g_store + "/Telvora.cfg");
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        bool opened = doc.Open();
        g_loadMs.push_back(MillisSince(start));
        size_t total = 0;
        for (int f = 0; f < kFolderCount; ++f) total += doc.Folder(f).Items().size();
        if (!opened || total != kItems) state.SkipWithError("items lost on load");
        state.PauseTiming();
        doc.Close();
        state.ResumeTiming();
    }
}

void BM_StoreSave(benchmark::State& state) {
    CVeloDoc doc(g_store, g_store + "/Telvora.cfg");
    if (!doc.Open()) state.SkipWithError("cannot open the store");
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Every record changes, as when all items are marked read.
        ++round;
        for (int f = 0; f < kFolderCount; ++f) {
            for (NoteItem& n : doc.Folder(f).Items()) n.SetNumber(NoteItem::kRead, round % 2);
        }
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        if (!doc.SaveAll()) state.SkipWithError("save failed");
        g_saveMs.push_back(MillisSince(start));
    }
}

BENCHMARK(BM_StoreLoad)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly();
BENCHMARK(BM_StoreSave)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

}  // namespace

int main(int argc, char** argv) {
    char tmpl[] = "/tmp/store_bench.XXXXXX";
    g_store = mkdtemp(tmpl);
    {
        CVeloDoc doc(g_store, g_store + "/Telvora.cfg");
        if (!doc.Open()) return 1;
        Fill(doc);
        if (!doc.Close()) return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("FIGURE store-load-10000 %.1f ms\n", Median(g_loadMs));
    std::printf("FIGURE store-save-10000 %.1f ms\n", Median(g_saveMs));
    std::filesystem::remove_all(g_store);
    return 0;
}
