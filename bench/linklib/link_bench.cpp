// FIGURE link-raw-16k-seconds: 16 KiB of raw blocks from station A to
// station B over a 64 kbit/s capisim line, from the first send until B has
// all of it. FIGURE corvane-idle-cpu-percent: the CPU a process that started
// the library spends while it sits idle for 10 s.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <thread>

#include "link_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

double rawSeconds = -1;
double idlePercent = -1;

bool Start(Station& s) {
    return s.Run("init") == "init 1" && s.Run("new") == "new 1";
}

void RawTransfer(benchmark::State& state) {
    constexpr int kSize = 16 * 1024;
    capitest::TempDir dir;
    Exchange exchange(dir.Path(), {"A:0:111", "B:0:222"}, {"--rate", "64000"});
    Station b(dir.Path(), "b", exchange.Port("B"), {}, false);
    Station a(dir.Path(), "a", exchange.Port("A"), {}, false);
    if (!exchange.Ready() || !Start(b) || !Start(a) || b.Run("server -") != "server 0" ||
        Field(a.Run("connect 222 111 100"), 1) != "0" || b.Run("waitconn 50") != "waitconn 1") {
        state.SkipWithError("the stations could not connect");
        return;
    }
    for (auto _ : state) {
        b.Post("recv " + std::to_string(kSize) + " 100");
        auto start = Clock::now();
        std::string sent = a.Run("send " + std::to_string(kSize) + " 1 128");
        std::string got = b.Answer(600s);
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (Field(got, 2) != std::to_string(kSize) || Field(got, 3) != Field(sent, 2)) {
            state.SkipWithError(("transfer incomplete: " + got).c_str());
            return;
        }
        state.SetIterationTime(seconds);
        rawSeconds = seconds;
    }
    a.Run("exit");
    b.Run("exit");
}

void IdleCpu(benchmark::State& state) {
    capitest::TempDir dir;
    Exchange exchange(dir.Path(), {"A:0:111"});
    Station a(dir.Path(), "a", exchange.Port("A"), {}, false);
    if (!exchange.Ready() || !Start(a)) {
        state.SkipWithError("the station could not start the library");
        return;
    }
    for (auto _ : state) {
        long before = std::stol(Field(a.Run("cpu"), 1));
        auto start = Clock::now();
        // Sitting idle is what is measured.
        std::this_thread::sleep_for(10s);
        long after = std::stol(Field(a.Run("cpu"), 1));
        double wall = std::chrono::duration<double>(Clock::now() - start).count();
        idlePercent = 100.0 * (after - before) / 1e6 / wall;
        state.SetIterationTime(wall);
    }
    a.Run("exit");
}

BENCHMARK(RawTransfer)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(IdleCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (rawSeconds >= 0) std::printf("FIGURE link-raw-16k-seconds %.2f\n", rawSeconds);
    if (idlePercent >= 0) std::printf("FIGURE corvane-idle-cpu-percent %.3f\n", idlePercent);
    return rawSeconds >= 0 && idlePercent >= 0 ? 0 : 1;
}
