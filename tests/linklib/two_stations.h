// The fixture of the tests that need a calling and an answering station.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "link_test_support.h"
#include "test_dir.h"

// Two stations on one exchange, each line behind a recording relay: a on
// line A (number 111) calls, b on line B (number 222) listens.
class TwoStations : public ::testing::Test {
protected:
    void SetUp() override;
    // a dials b and both see the line up.
    void Call();

    TestDir dir;
    // A line much faster than ISDN's: these tests are about what goes over
    // it, not how fast (the benchmarks measure that at 64 kbit/s).
    Exchange exchange{dir.Path(), {"A:0:111", "B:0:222"}, {"--rate", "1000000", "--delay", "2"}};
    WireRecorder wireA{exchange.Port("A")};
    WireRecorder wireB{exchange.Port("B")};
    std::unique_ptr<Station> a, b;
};
