// A request to end quorlin, made by the signal thread and read by the
// station's waits.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>

class StopRequest {
public:
    using Clock = std::chrono::steady_clock;

    // The first request counts; later ones change nothing.
    void Request() {
        std::lock_guard lock(mutex_);
        if (!at_) at_ = Clock::now();
    }
    bool Requested() const {
        std::lock_guard lock(mutex_);
        return at_.has_value();
    }
    // How long ago the request came; zero when none came.
    Clock::duration Age() const {
        std::lock_guard lock(mutex_);
        return at_ ? Clock::now() - *at_ : Clock::duration::zero();
    }

private:
    mutable std::mutex mutex_;
    std::optional<Clock::time_point> at_;
};
