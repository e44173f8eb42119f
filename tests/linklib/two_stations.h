// The fixture of the tests that need a calling and an answering station.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link_test_support.h"
#include "test_dir.h"

// Two stations on one exchange, each line behind a recording relay: a on
// line A (number 111) calls, b on line B (number 222) listens.
class TwoStations : public ::testing::Test {
protected:
    // The line of ISDN: 64 kbit/s, 10 ms one way.
    TwoStations() : TwoStations(std::vector<std::string>{}) {}
    explicit TwoStations(const std::vector<std::string>& exchangeOptions)
        : exchange{dir.Path(), {"A:0:111", "B:0:222"}, exchangeOptions} {}
    // A line much faster than ISDN's, for tests about what goes over it and
    // not about how fast or in what overlap (the benchmarks measure that at
    // 64 kbit/s).
    static std::vector<std::string> FastLine() { return {"--rate", "1000000", "--delay", "2"}; }

    void SetUp() override;
    // a dials b and both see the line up.
    void Call();

    TestDir dir;
    Exchange exchange;
    WireRecorder wireA{exchange.Port("A")};
    WireRecorder wireB{exchange.Port("B")};
    std::unique_ptr<Station> a, b;
};
