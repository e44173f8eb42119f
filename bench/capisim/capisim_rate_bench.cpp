// How fast capisim carries data over one B channel at its default rate:
// 16 KiB in blocks of 128 from one station to another, timed from the first
// DATA_B3_REQ to the last DATA_B3_IND, against what 64 kbit/s needs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "capi_station.h"
#include "capisim_process.h"

namespace {

using namespace capitest;
using Clock = std::chrono::steady_clock;

constexpr size_t kTotal = 16384;
constexpr size_t kBlock = 128;
constexpr size_t kWindow = 7;
constexpr double kIdealSeconds = kTotal * 8 / 64000.0;

struct Link {
    std::unique_ptr<Station> a, b;
    uint32_t ncciA = 0, ncciB = 0;
};

std::optional<Received> Answered(Station& s, uint8_t command, uint8_t subcommand) {
    auto r = s.WaitFor(command, subcommand);
    if (r && subcommand == IND && command == CONNECT_B3) {
        s.Put(ConnectB3Resp(r->Address(), 0, r->Number()));
    }
    return r;
}

bool Connect(Link& link, CapisimProcess& sim, const TempDir& dir) {
    link.a = std::make_unique<Station>(MakeCapiHome(dir.Path(), "a", sim.Port("A")));
    link.b = std::make_unique<Station>(MakeCapiHome(dir.Path(), "b", sim.Port("B")));
    link.b->Put(ListenReq(1u << 2));
    if (!link.b->WaitFor(LISTEN, CONF)) return false;
    link.a->Put(ConnectReq("5552001", "5551001", 2));
    auto ind = link.b->WaitFor(CONNECT, IND);
    if (!ind) return false;
    link.b->Put(ConnectResp(ind->Address(), 0, ind->Number()));
    auto active = link.a->WaitFor(CONNECT_ACTIVE, IND);
    if (!active) return false;
    link.a->Put(ConnectB3Req(active->Address()));
    auto b3 = Answered(*link.b, CONNECT_B3, IND);
    auto upA = link.a->WaitFor(CONNECT_B3_ACTIVE, IND);
    if (!b3 || !upA) return false;
    link.ncciA = upA->Address();
    link.ncciB = b3->Address();
    return true;
}

// Seconds from the first block handed over to the last one received.
double Transfer(Link& link) {
    Bytes block(kBlock, 0x33);
    size_t sent = 0, confirmed = 0, received = 0;
    auto start = Clock::now();
    auto deadline = start + std::chrono::seconds(30);
    while (received < kTotal && Clock::now() < deadline) {
        while (sent < kTotal && sent - confirmed < kWindow * kBlock) {
            link.a->Put(DataB3Req(link.ncciA, kBlock, uint16_t(sent / kBlock), true), block);
            sent += kBlock;
        }
        if (auto ind = link.b->Next(std::chrono::milliseconds(1))) {
            if (ind->Command() == DATA_B3 && ind->Subcommand() == IND) {
                received += ind->data.size();
                link.b->Put(DataB3Resp(link.ncciB, ind->WordAt(18), ind->Number()));
            }
        }
        while (auto conf = link.a->Next(std::chrono::milliseconds(0))) {
            if (conf->Command() == DATA_B3 && conf->Subcommand() == CONF) confirmed += kBlock;
        }
    }
    return received < kTotal ? -1 : std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_CapisimRate64k(benchmark::State& state) {
    for (auto _ : state) {
        TempDir dir;
        CapisimProcess sim;
        if (!sim.Start({"--line", "A:0:5551001", "--line", "B:0:5552001"})) {
            state.SkipWithError(sim.Error().c_str());
            return;
        }
        Link link;
        if (!Connect(link, sim, dir)) {
            state.SkipWithError("data call not established");
            return;
        }
        double seconds = Transfer(link);
        if (seconds < 0) {
            state.SkipWithError("16 KiB did not arrive within 30 s");
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["ratio"] = seconds / kIdealSeconds;
        printf("FIGURE capisim-64k-ratio %.3f\n", seconds / kIdealSeconds);
        fflush(stdout);
    }
}
BENCHMARK(BM_CapisimRate64k)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
