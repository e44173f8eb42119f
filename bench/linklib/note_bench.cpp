// FIGURE note-2047-seconds: one note of 2047 characters from station A to
// the answering station B over a 64 kbit/s capisim line, as velo sends it:
// dial, identify, ask the version, the rawNote command, hang up.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "link_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kNoteChars = 2047;
double noteSeconds = -1;

bool Start(Station& s) {
    return s.Run("init") == "init 1" && s.Run("new") == "new 1";
}

std::string NoteText() {
    std::string text;
    for (std::size_t i = 0; i < kNoteChars; ++i) text += static_cast<char>('a' + i % 26);
    return text;
}

// The sender's steps; "" when all went well, else the step that failed.
std::string SendNote(Station& a) {
    if (Field(a.Run("connect 222 111 100"), 1) != "0") return "connect";
    if (Field(a.Run("reqid"), 1) != "0") return "identify";
    if (a.Run("version") != "version 0 1") return "version";
    std::string sent = a.Run("exec rawNote 1.1|Telvora||111|Anna|Benchmark|" + NoteText(), 120s);
    if (Field(sent, 1) != "0" || Field(sent, 2) != "0") return "rawNote: " + sent;
    if (Field(a.Run("disconnect 50"), 1) != "0") return "disconnect";
    return "";
}

void NoteTransfer(benchmark::State& state) {
    capitest::TempDir dir;
    Exchange exchange(dir.Path(), {"A:0:111", "B:0:222"}, {"--rate", "64000"});
    Station b(dir.Path(), "b", exchange.Port("B"), {}, false);
    Station a(dir.Path(), "a", exchange.Port("A"), {}, false);
    if (!exchange.Ready() || !Start(b) || !Start(a) || b.Run("server -") != "server 0" ||
        b.Run("appname " + b.Dir() + "/quorlin") != "appname") {
        state.SkipWithError("the stations could not start");
        return;
    }
    for (auto _ : state) {
        b.Post("serve 600");
        auto start = Clock::now();
        std::string failed = SendNote(a);
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::string served = b.Answer(60s);
        if (!failed.empty() || Field(served, 1) != "0") {
            state.SkipWithError(("the note did not arrive: " + failed + " / " + served).c_str());
            return;
        }
        state.SetIterationTime(seconds);
        noteSeconds = seconds;
    }
    a.Run("exit");
    b.Run("exit");
}

BENCHMARK(NoteTransfer)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (noteSeconds >= 0) std::printf("FIGURE note-2047-seconds %.2f\n", noteSeconds);
    return noteSeconds >= 0 ? 0 : 1;
}
