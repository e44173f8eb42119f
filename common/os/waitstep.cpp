#include "waitstep.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

thread_local WaitStepHook tHook;

}  // namespace

WaitStepHook SetWaitStepHook(WaitStepHook hook) {
    return std::exchange(tHook, std::move(hook));
}

void WaitStep() {
    if (tHook && tHook() == PendingEvent::Quit) return;
    std::this_thread::sleep_for(kWaitStep);
}

void WaitNews::Notify() {
    {
        std::lock_guard lock(mutex_);
        ++count_;
    }
    changed_.notify_all();
}

std::uint64_t WaitNews::Count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

void WaitNews::WaitUntil(std::uint64_t seen, Clock::time_point until) const {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, until, [&] { return count_ != seen; });
}

bool WaitSteps(unsigned long steps, const WaitNews& news, const std::function<bool()>& done) {
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline =
        start + std::chrono::duration_cast<Clock::duration>(kWaitStep * steps);
    Clock::time_point nextHook = start;
    for (;;) {
        // The count is taken before looking, so news that comes in between
        // ends the sleep below at once.
        std::uint64_t seen = news.Count();
        if (done()) return true;
        auto now = Clock::now();
        if (now >= deadline) return false;
        if (now >= nextHook) {
            if (tHook && tHook() == PendingEvent::Quit) return done();
            nextHook = now + kWaitStep;
        }
        news.WaitUntil(seen, std::min(deadline, nextHook));
    }
}
