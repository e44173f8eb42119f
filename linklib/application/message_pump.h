// The CAPI application at work: the endpoints that share its messages (the
// library's connection object, and in tests more of them), the pump that
// takes every waiting message and routes it to the endpoint it belongs to,
// and the time-outs of the endpoints.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

class CAPIAccess;

using LinkClock = std::chrono::steady_clock;

// Guards the message buffer and message numbers of every CAPIAccess, the
// endpoints' state and the list of them: requests come from the caller's
// thread, handlers and time-outs from the dispatch thread.
std::recursive_mutex& LinkMutex();

// One user of a CAPI application's messages. Each message is offered to the
// endpoints of its application in list order until one takes it; an
// endpoint takes what carries its controller, PLCI or NCCI.
class CapiEndpoint {
public:
    explicit CapiEndpoint(CAPIAccess* access);
    virtual ~CapiEndpoint();
    CapiEndpoint(const CapiEndpoint&) = delete;
    CapiEndpoint& operator=(const CapiEndpoint&) = delete;

    CAPIAccess* Access() const { return access_; }
    // True when this endpoint takes the message.
    virtual bool HandleMessage(const std::uint8_t* message) = 0;
    virtual void OnMessageHandled() {}
    // The driver connection is gone; whatever was under way has ended.
    virtual void OnDriverLost(unsigned) {}
    // When this endpoint next wants OnDeadline; none when it waits for nothing.
    virtual std::optional<LinkClock::time_point> NextDeadline() const { return std::nullopt; }
    virtual void OnDeadline(LinkClock::time_point) {}

private:
    CAPIAccess* access_;
};

// The endpoints, in the order they were created.
std::vector<CapiEndpoint*>& EndpointList();

// Takes every message that waits for each application and hands it on. A
// driver error other than "no message" means the driver connection is gone:
// the application is marked lost and its endpoints are told. Returns the
// number of messages taken. A pass that finds another one running returns 0
// at once.
std::size_t RunMessagePump();

// Marks access lost and tells its endpoints.
void DriverLost(CAPIAccess* access, unsigned error);

// Runs the time-outs that are due; returns the earliest deadline still ahead.
std::optional<LinkClock::time_point> RunDeadlines(LinkClock::time_point now);
