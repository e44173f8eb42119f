#include "link_frame.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "b3_connection.h"
#include "capi_access.h"
#include "corvane.h"
#include "linklog.h"
#include "transport.h"

namespace {

constexpr unsigned kMaxLogicalConnections = 2;
constexpr unsigned kMaxB3Blocks = 12;
constexpr unsigned kMaxB3Length = 128;
constexpr auto kPumpInterval = std::chrono::milliseconds(100);
constexpr auto kExitWait = std::chrono::milliseconds(10000);

std::atomic<CAPIAccess*> pCAPIAccess{nullptr};
std::atomic<LinkConnection*> pCorvane{nullptr};

struct DispatchControl {
    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;
    bool done = false;
    std::thread* thread = nullptr;
};

DispatchControl& Dispatch() {
    static DispatchControl* control = new DispatchControl;
    return *control;
}

void SignalDone() {
    DispatchControl& d = Dispatch();
    std::lock_guard lock(d.mutex);
    d.done = true;
    d.changed.notify_all();
}

// True when the stop was asked for within one pump interval.
bool WaitForStop() {
    DispatchControl& d = Dispatch();
    std::unique_lock lock(d.mutex);
    return d.changed.wait_for(lock, kPumpInterval, [&] { return d.stop; });
}

void ISDNDispatchThread() {
    LinkLog().Write("++ISDNDispatchThread\n");
    LinkConnection* corvane = pCorvane;
    if (!corvane) {
        // Nothing to poll; tell the exit at once instead of letting it wait 10 s.
        SignalDone();
        return;
    }
    while (!WaitForStop()) {
        RunMessagePump();
        if (corvane->ReceivedChunks() > 0) RCODataRecvInd();
    }
    SignalDone();
    LinkLog().Write("--ISDNDispatchThread\n");
}

BOOL CorvaneInit() {
    LinkLog().Write("++CorvaneInit()\n");
    DispatchControl& d = Dispatch();
    if (d.thread) return TRUE;
    auto* access = new (std::nothrow) CAPIAccess(kMaxLogicalConnections, kMaxB3Blocks, kMaxB3Length,
                                                 LoadCapiDriver(CapiLibraryName()));
    pCAPIAccess = access;
    if (access) pCorvane = new (std::nothrow) LinkConnection(access, 0);
    try {
        d.thread = new std::thread(ISDNDispatchThread);
    } catch (const std::exception&) {
        LinkLog().Write("**CorvaneInit(): thread not started\n");
        return FALSE;
    }
    LinkLog().Write("--CorvaneInit()\n");
    return TRUE;
}

// True when the dispatch thread ended within the exit wait.
bool StopDispatchThread() {
    DispatchControl& d = Dispatch();
    std::unique_lock lock(d.mutex);
    d.stop = true;
    d.changed.notify_all();
    LinkLog().Write("  CorvaneExit(): vor WaitForSingleObject\n");
    bool done = d.changed.wait_for(lock, kExitWait, [&] { return d.done; });
    lock.unlock();
    if (!done) {
        LinkLog().Write("  CorvaneExit(): nach WaitForSingleObject nach TIMEOUT\n");
        d.thread->detach();
        delete std::exchange(d.thread, nullptr);
        return false;
    }
    LinkLog().Write("  CorvaneExit(): nach WaitForSingleObject\n");
    d.thread->join();
    delete std::exchange(d.thread, nullptr);
    return true;
}

void DeleteLinkObjects(LinkConnection* corvane, CAPIAccess* access) {
    LinkLog().Write("  CorvaneExit: vor delete pCorvane\n");
    delete corvane;
    LinkLog().Write("  CorvaneExit: vor pCAPIAccess delete\n");
    delete access;
    LinkLog().Write("  CorvaneExit: nach pCAPIAccess delete\n");
}

BOOL CorvaneExit() {
    LinkLog().Write("++CorvaneExit()\n");
    DispatchControl& d = Dispatch();
    bool ended = !d.thread || StopDispatchThread();
    LinkLog().Write("  CorvaneExit(): vor Delete\n");
    // From here on the entry points find no line to use.
    LinkConnection* corvane = pCorvane.exchange(nullptr);
    CAPIAccess* access = pCAPIAccess.exchange(nullptr);
    if (corvane && ended) {
        DeleteLinkObjects(corvane, access);
    } else if (corvane) {
        // The thread may still be inside the pump: its objects must outlive it.
        LinkLog().Write("**CorvaneExit: dispatch thread still running, objects kept\n");
    }
    LinkLog().Write("--CorvaneExit()\n");
    return TRUE;
}

}  // namespace

LinkConnection* CorvaneConnection() {
    return pCorvane;
}

extern "C" {

BOOL RCOInitLinkDLL(BOOL bStart) {
    if (bStart) return CorvaneInit();
    CROCallBacks callBacks = IsdnCallBacks();
    return CROSetCallBackFn(&callBacks);
}

BOOL RCOExitLinkDLL(void) {
    return CorvaneExit();
}
}
