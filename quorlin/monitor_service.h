// The call monitor on libcapi20: an application of its own beside the link
// library's, read by a thread of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include "call_monitor.h"

class MonitorService {
public:
    static constexpr unsigned kController = 1;
    // Told, on the monitor's thread, when the driver connection ends.
    using LostHandler = std::function<void(unsigned error)>;

    MonitorService() = default;
    ~MonitorService();
    MonitorService(const MonitorService&) = delete;
    MonitorService& operator=(const MonitorService&) = delete;

    // Registers the application (on the calling thread, because libcapi20's
    // registration is not made for two threads at once) and starts the
    // thread that listens and reads. Without listen the application only
    // watches the driver connection, so that its loss is noticed. The CAPI
    // error when it cannot register.
    std::optional<unsigned> Start(CallMonitor::Reporter report, LostHandler lost,
                                  bool listen = true);
    // Waits until the controller answered the listen request.
    CallMonitor::ListenState WaitUntilListening(std::chrono::milliseconds timeout) const;
    // The Info the controller refused the listen request with.
    unsigned ListenError() const { return listenError_; }
    // Stops the thread and releases the application.
    void Stop();

private:
    class Outbox;
    void Run(CallMonitor::Reporter report, LostHandler lost, bool listen);
    std::optional<unsigned> DrainMessages(CallMonitor& monitor);
    void LineLost(unsigned error, const LostHandler& lost);

    unsigned applId_ = 0;
    bool registered_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<CallMonitor::ListenState> state_{CallMonitor::ListenState::NotAsked};
    std::atomic<unsigned> listenError_{0};
    std::thread thread_;
};
