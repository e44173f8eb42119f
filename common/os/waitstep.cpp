#include "waitstep.h"

#include <chrono>
#include <thread>
#include <utility>

namespace {
thread_local WaitStepHook tHook;
}

WaitStepHook SetWaitStepHook(WaitStepHook hook) {
    return std::exchange(tHook, std::move(hook));
}

void WaitStep() {
    if (tHook && tHook() == PendingEvent::Quit) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}
