// Random and mutated packets against a running capisim: it must neither
// crash nor stop serving the other line, whatever one line's clients send.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <random>

#include "capi_station.h"
#include "capisim_process.h"
#include "raw_client.h"

namespace capitest {
namespace {

using Clock = std::chrono::steady_clock;

// Well-formed packets of every kind a client sends, for mutation.
std::vector<Bytes> Templates() {
    Bytes data(128, 0x5A);
    Bytes dataReq = DataB3Req(0x10101, 128, 1, false);
    dataReq.insert(dataReq.end(), data.begin(), data.end());
    Bytes dataReq64 = DataB3Req(0x10201, 128, 2, true);
    dataReq64.insert(dataReq64.end(), data.begin(), data.end());
    return {
        ListenReq(0x1FFFF),
        ConnectReq("5551001", "5551001", 2),
        ConnectReq("0010135551001", "5551001", 16),
        ConnectResp(0x101, 0),
        ConnectResp(0x201, 3),
        AlertReq(0x101),
        ConnectActiveResp(0x101),
        ConnectB3Req(0x101),
        ConnectB3Req(0x201),
        ConnectB3Resp(0x10101),
        ConnectB3ActiveResp(0x10201),
        dataReq,
        dataReq64,
        DataB3Resp(0x10101, 1),
        DisconnectB3Req(0x10101),
        DisconnectB3Resp(0x10201),
        DisconnectReq(0x101),
        DisconnectReq(0x201),
        DisconnectResp(0x101),
        MsgBuilder(INFO, REQ).Dword(0x101).Struct(CalledParty("1")).Struct(Bytes{}).Build(),
        MsgBuilder(FACILITY, REQ).Dword(1).Word(3).Struct(Bytes{0, 0, 0}).Build(),
        MsgBuilder(RESET_B3, REQ).Dword(0x10101).Struct(Bytes{}).Build(),
        MsgBuilder(MANUFACTURER, REQ).Dword(1).Dword(0x4E4F5641).Dword(1).Build(),
        MsgBuilder(0x41, REQ).Dword(0x101).Struct(Bytes{1, 0, 1, 0, 0, 0, 0, 0, 0}).Build(),
        Bytes{0, 0, 0, 0, 0xE0, 0xFF, 0, 0, 1, 0, 0, 0},
        Bytes{0, 0, 0, 0, 0xFA, 0xFF, 0, 0, 1, 0, 0, 0},
        Bytes{0, 0, 0, 0, 0xF2, 0xFF, 0, 0, 0, 0, 0, 0, 0, 8, 2, 0, 7, 0, 0, 8, 2},
    };
}

class Mutator {
public:
    explicit Mutator(uint32_t seed) : rng_(seed) {}

    size_t Below(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng_) : 0; }
    uint8_t Byte() { return uint8_t(Below(256)); }

    Bytes Random() {
        Bytes b(Below(64));
        for (auto& x : b) x = Byte();
        if (b.size() > 5 && Below(2)) b[5] = uint8_t(0x80 + Below(4));
        return b;
    }

    Bytes Mutate(Bytes b) {
        size_t rounds = 1 + Below(4);
        for (size_t r = 0; r < rounds; ++r) MutateOnce(b);
        return b;
    }

private:
    void MutateOnce(Bytes& b) {
        if (b.empty()) b.push_back(Byte());
        size_t at = Below(b.size());
        switch (Below(8)) {
            case 0:
                b[at] ^= uint8_t(1u << Below(8));
                break;
            case 1:
                b[at] = Below(2) ? 0xFF : 0x00;
                break;
            case 2:
                b.resize(at);
                break;
            case 3:
                for (size_t n = Below(40); n > 0; --n) b.push_back(Byte());
                break;
            case 4:  // the message's own length field
                if (b.size() > 1) b[Below(2)] = Byte();
                break;
            case 5:  // another command or subcommand
                if (b.size() > 5) b[4 + Below(2)] = Byte();
                break;
            case 6:
                b[at] = Byte();
                break;
            case 7:
                b.insert(b.begin() + at, Byte());
                break;
        }
    }

    std::mt19937 rng_;
};

TEST(CapisimFuzz, SurvivesRandomAndMutatedPacketsAndServesTheOtherLine) {
    TempDir dir;
    CapisimProcess sim;
    ASSERT_TRUE(sim.Start({"--line", "A:0:5551001,5551002", "--line", "B:0:77889900,77889901",
                           "--ring-time", "0.2", "--delay", "1", "--rate", "1000000"}))
        << sim.Error();
    auto watcher = std::make_unique<Station>(MakeCapiHome(dir.Path(), "watch", sim.Port("B")));
    ASSERT_EQ(watcher->RegisterResult(), std::optional<unsigned>(0u));

    const uint32_t seed = 20240611;
    Mutator mutator(seed);
    std::vector<Bytes> templates = Templates();
    std::vector<std::unique_ptr<RawClient>> clients(4);
    size_t tried = 0, reconnects = 0;
    auto deadline = Clock::now() + 20s;
    const size_t target = 100000;
    while (tried < target && Clock::now() < deadline) {
        auto& client = clients[mutator.Below(clients.size())];
        if (!client || !client->Discard()) {
            client = std::make_unique<RawClient>(sim.Port("A"));
            ASSERT_TRUE(client->Connected()) << "line A refused a connection after " << tried;
            // Mostly registered clients, so that messages reach the exchange.
            if (mutator.Below(8)) client->Register(uint16_t(1 + mutator.Below(8)), 2048);
            ++reconnects;
        }
        size_t kind = mutator.Below(10);
        const Bytes& base = templates[mutator.Below(templates.size())];
        Bytes body = kind == 0 ? mutator.Random() : kind < 4 ? base : mutator.Mutate(base);
        if (mutator.Below(50) == 0) {
            Bytes raw{mutator.Byte(), mutator.Byte()};
            raw.insert(raw.end(), body.begin(), body.end());
            client->SendRaw(raw);
        } else {
            client->SendPacket(body);
        }
        ++tried;
        if (tried % 2000 != 0) continue;
        ASSERT_TRUE(sim.Running())
            << "capisim died after " << tried << " packets (seed " << seed << ")";
        watcher->Put(ListenReq(0));
        ASSERT_TRUE(watcher->WaitFor(LISTEN, CONF)) << "line B silent after " << tried;
    }
    clients.clear();
    std::cout << "capisim fuzz: " << tried << " packets tried on " << reconnects
              << " connections (seed " << seed << ")" << std::endl;
    EXPECT_GE(tried, 5000u);
    ASSERT_TRUE(sim.Running());

    // A whole data call on line B, and a new application on line A.
    watcher->Put(ListenReq(1u << 2));
    ASSERT_TRUE(watcher->WaitFor(LISTEN, CONF));
    Station caller(MakeCapiHome(dir.Path(), "caller", sim.Port("B")));
    caller.Put(ConnectReq("77889900", "77889901", 2));
    ASSERT_TRUE(caller.WaitFor(CONNECT, CONF));
    auto ind = watcher->WaitFor(CONNECT, IND);
    ASSERT_TRUE(ind);
    watcher->Put(ConnectResp(ind->Address(), 0, ind->Number()));
    auto active = caller.WaitFor(CONNECT_ACTIVE, IND);
    ASSERT_TRUE(active);
    caller.Put(ConnectB3Req(active->Address()));
    auto b3 = watcher->WaitFor(CONNECT_B3, IND);
    ASSERT_TRUE(b3);
    watcher->Put(ConnectB3Resp(b3->Address(), 0, b3->Number()));
    auto up = caller.WaitFor(CONNECT_B3_ACTIVE, IND);
    ASSERT_TRUE(up);
    Bytes block(128, 0x42);
    caller.Put(DataB3Req(up->Address(), 128, 9, true), block);
    auto data = watcher->WaitFor(DATA_B3, IND);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->data, block);

    Station lineA(MakeCapiHome(dir.Path(), "lineA", sim.Port("A")));
    EXPECT_EQ(lineA.RegisterResult(), std::optional<unsigned>(0u));
    EXPECT_EQ(sim.Stop(), 0) << "capisim did not end cleanly";
}

}  // namespace
}  // namespace capitest
