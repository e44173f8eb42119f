// How long the note store takes to load and to save a folder of 10,000
// notes in the notes data file. Prints
//   FIGURE notes-load-10000 <ms> ms
//   FIGURE notes-save-10000 <ms> ms
// as the median of the runs.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "../bench_timing.h"
#include "item_list.h"
#include "settings_file.h"

namespace {

constexpr int kNotes = 10000;
constexpr size_t kNoteFields = 13;
constexpr const char* kFolder = "InNotes";

std::string g_dir;
std::vector<double> g_loadMs, g_saveMs;

std::string NotesPath() {
    return g_dir + "/Notes.dat";
}

// Records as the store writes them: record number -1, then the 13 fields.
ItemList MakeNotes() {
    ItemList notes(kNoteFields);
    for (int i = 0; i < kNotes; ++i) {
        long t = 1040000000L + i * 37L;
        char file[32];
        std::snprintf(file, sizeof file, "N2003%09d.txt", i);
        notes.Items().push_back(
            ListItem{-1,
                     {"0", std::to_string(t), "0", "Telvora 1.0", "4711", "0", std::to_string(t),
                      "Erika Mustermann", "0221 987654" + std::to_string(i % 10),
                      "Besprechung am Montag " + std::to_string(i), file, "Telvora", ""}});
    }
    return notes;
}

// A copy under a new inode, so that the next read parses the file as a
// freshly started program would.
void Refresh() {
    std::string copy = NotesPath() + ".copy";
    std::filesystem::copy_file(NotesPath(), copy,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::rename(copy, NotesPath());
}

void BM_NotesLoad(benchmark::State& state) {
    SettingsFile file(NotesPath());
    for (auto _ : state) {
        state.PauseTiming();
        Refresh();
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        ItemList notes(kNoteFields);
        notes.Load(file, kFolder);
        g_loadMs.push_back(MillisSince(start));
        if (notes.Items().size() != kNotes) state.SkipWithError("notes lost on load");
    }
}

void BM_NotesSave(benchmark::State& state) {
    SettingsFile file(NotesPath());
    ItemList notes(kNoteFields);
    notes.Load(file, kFolder);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Every record changes, as when all notes are marked read.
        ++round;
        for (ListItem& n : notes.Items()) n.fields[2] = std::to_string(round % 2);
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        if (!notes.Save(file, kFolder)) state.SkipWithError("save failed");
        g_saveMs.push_back(MillisSince(start));
    }
}

BENCHMARK(BM_NotesLoad)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly();
BENCHMARK(BM_NotesSave)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

}  // namespace

int main(int argc, char** argv) {
    char tmpl[] = "/tmp/profile_bench.XXXXXX";
    g_dir = mkdtemp(tmpl);
    if (!MakeNotes().Save(SettingsFile(NotesPath()), kFolder)) {
        std::fprintf(stderr, "cannot write %s\n", NotesPath().c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("FIGURE notes-load-10000 %.1f ms\n", Median(g_loadMs));
    std::printf("FIGURE notes-save-10000 %.1f ms\n", Median(g_saveMs));
    std::filesystem::remove_all(g_dir);
    return 0;
}
