// Telephone calls on their way from the monitor thread to the station's
// thread, which files them.
#pragma once

#include <deque>
#include <mutex>
#include <optional>

#include "call_monitor.h"

class CallQueue {
public:
    void Push(const PhoneCall& call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
    }
    std::optional<PhoneCall> Pop() {
        std::lock_guard lock(mutex_);
        if (calls_.empty()) return std::nullopt;
        PhoneCall call = calls_.front();
        calls_.pop_front();
        return call;
    }

private:
    std::mutex mutex_;
    std::deque<PhoneCall> calls_;
};
