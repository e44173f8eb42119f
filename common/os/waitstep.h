// The wait step: the unit of every wait of the link, 100 ms. While a thread
// waits it handles its own pending events through its hook (a GUI thread
// keeps its windows alive that way).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

enum class PendingEvent { None, Handled, Quit };

// Takes and handles at most one pending event of the calling thread.
using WaitStepHook = std::function<PendingEvent()>;

inline constexpr std::chrono::milliseconds kWaitStep{100};

// Installs the calling thread's hook (empty: none) and returns the previous one.
WaitStepHook SetWaitStepHook(WaitStepHook hook);

// Runs the calling thread's hook once; if it reports the quit event the step
// returns at once, else it sleeps 100 ms.
void WaitStep();

// What a waiter waits for changes on another thread; that thread calls
// Notify, so that the wait looks again at once instead of a step later.
class WaitNews {
public:
    void Notify();
    std::uint64_t Count() const;
    // Sleeps until `until`, or less when news newer than `seen` comes.
    void WaitUntil(std::uint64_t seen, std::chrono::steady_clock::time_point until) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::uint64_t count_ = 0;
};

// A wait of `steps` wait steps, counted as time (steps x 100 ms), that ends
// as soon as done() holds: it looks at once when news comes, else every
// 100 ms. The calling thread's hook runs when the wait begins and then at
// least every 100 ms; when it reports the quit event the wait ends at once.
// Returns done() as it was at the end.
bool WaitSteps(unsigned long steps, const WaitNews& news, const std::function<bool()>& done);
