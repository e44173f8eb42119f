#include "waitstep.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

milliseconds TimeOneStep() {
    auto start = Clock::now();
    WaitStep();
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// Removes whatever hook a test installed, so that tests stay independent.
struct HookGuard {
    ~HookGuard() { SetWaitStepHook({}); }
};

TEST(WaitStep, RunsTheHookOnceAndSleepsUnlessItReportsQuit) {
    struct Case {
        PendingEvent event;
        bool sleeps;
    } cases[] = {
        {PendingEvent::None, true}, {PendingEvent::Handled, true}, {PendingEvent::Quit, false}};
    HookGuard guard;
    for (const auto& c : cases) {
        int calls = 0;
        SetWaitStepHook([&] {
            ++calls;
            return c.event;
        });
        milliseconds took = TimeOneStep();
        EXPECT_EQ(calls, 1);
        if (c.sleeps) {
            EXPECT_GE(took.count(), 100);
            EXPECT_LT(took.count(), 1000);
        } else {
            EXPECT_LT(took.count(), 50);
        }
    }
}

TEST(WaitStep, WithoutHookSleepsOneStep) {
    milliseconds took = TimeOneStep();
    EXPECT_GE(took.count(), 100);
    EXPECT_LT(took.count(), 1000);
}

TEST(WaitStep, HookBelongsToTheThreadThatInstalledIt) {
    HookGuard guard;
    int calls = 0;
    SetWaitStepHook([&] {
        ++calls;
        return PendingEvent::Quit;
    });
    bool otherHadHook = true;
    std::thread other([&] {
        otherHadHook = static_cast<bool>(SetWaitStepHook({}));
        WaitStep();
    });
    other.join();
    EXPECT_FALSE(otherHadHook);
    EXPECT_EQ(calls, 0);

    WaitStep();
    EXPECT_EQ(calls, 1);
}

TEST(WaitStep, SetReturnsThePreviousHook) {
    HookGuard guard;
    EXPECT_FALSE(SetWaitStepHook([] { return PendingEvent::Quit; }));
    WaitStepHook previous = SetWaitStepHook([] { return PendingEvent::None; });
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous(), PendingEvent::Quit);
    EXPECT_EQ(SetWaitStepHook({})(), PendingEvent::None);
}

}  // namespace
