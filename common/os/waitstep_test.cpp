#include "waitstep.h"

#include <gtest/gtest.h>

#include <atomic>
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

namespace {

long Millis(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<milliseconds>(Clock::now() - since).count());
}

TEST(WaitSteps, LastsItsStepsAsTimeAndRunsTheHookEveryStep) {
    HookGuard guard;
    WaitNews news;
    int hooked = 0;
    SetWaitStepHook([&] {
        ++hooked;
        return PendingEvent::None;
    });
    // News that does not change the outcome wakes the wait but does not
    // shorten it: ten steps stay a second.
    std::thread noise([&] {
        for (int i = 0; i < 50; ++i) {
            news.Notify();
            std::this_thread::sleep_for(milliseconds(15));
        }
    });
    auto start = Clock::now();
    EXPECT_FALSE(WaitSteps(10, news, [] { return false; }));
    long took = Millis(start);
    noise.join();
    EXPECT_GE(took, 1000);
    EXPECT_LT(took, 1400);
    EXPECT_GE(hooked, 10);
    EXPECT_LE(hooked, 11);

    hooked = 0;
    start = Clock::now();
    EXPECT_FALSE(WaitSteps(0, news, [] { return false; }));
    EXPECT_LT(Millis(start), 20);
    EXPECT_EQ(hooked, 0) << "no wait, no step";
}

TEST(WaitSteps, NewsEndsTheWaitAtOnce) {
    WaitNews news;
    std::atomic<bool> ready{false};
    Clock::time_point signalled;
    std::thread other([&] {
        std::this_thread::sleep_for(milliseconds(250));
        signalled = Clock::now();
        ready = true;
        news.Notify();
    });
    EXPECT_TRUE(WaitSteps(100, news, [&] { return ready.load(); }));
    long late = Millis(signalled);
    other.join();
    EXPECT_LT(late, 50) << "the waiter looked again when the news came";
}

TEST(WaitSteps, QuitEndsTheWait) {
    HookGuard guard;
    WaitNews news;
    int hooked = 0;
    SetWaitStepHook([&] { return ++hooked == 3 ? PendingEvent::Quit : PendingEvent::Handled; });
    auto start = Clock::now();
    EXPECT_FALSE(WaitSteps(50, news, [] { return false; }));
    EXPECT_EQ(hooked, 3);
    EXPECT_LT(Millis(start), 400);
}

}  // namespace
