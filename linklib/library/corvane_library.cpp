#include "corvane_library.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>

#include "capi_access.h"
#include "corvane.h"
#include "dispatch_thread.h"
#include "isdn_carrier.h"
#include "link_connection.h"
#include "link_log.h"

namespace {

constexpr unsigned kMaxLogicalConnections = 2;
constexpr unsigned kMaxB3Blocks = 12;
constexpr unsigned kMaxB3Length = 128;
constexpr auto kExitWait = std::chrono::milliseconds(10000);

std::atomic<CAPIAccess*> pCAPIAccess{nullptr};
std::atomic<LinkConnection*> pCorvane{nullptr};

// A program that ends without RCOExitLinkDLL must not leave the dispatch
// thread inside libcapi20 while the driver library tears itself down: that
// can crash the process while it holds libcapi20's semaphore, which all
// CAPI programs of the machine share, and hang every one of them. Handlers
// of atexit run before the libraries' own finalisers.
void StopAtExit() {
    StopDispatchThread(kExitWait);
}

BOOL CorvaneInit() {
    LinkLog().Write("++CorvaneInit()\n");
    if (DispatchThreadStarted()) return TRUE;
    auto* access = new (std::nothrow) CAPIAccess(kMaxLogicalConnections, kMaxB3Blocks, kMaxB3Length,
                                                 LoadCapiDriver(CapiLibraryName()));
    pCAPIAccess = access;
    if (access) pCorvane = new (std::nothrow) LinkConnection(access, 0);
    if (!StartDispatchThread(pCorvane, access)) {
        LinkLog().Write("**CorvaneInit(): thread not started\n");
        return FALSE;
    }
    static bool stopAtExit = std::atexit(StopAtExit) == 0;
    (void)stopAtExit;
    LinkLog().Write("--CorvaneInit()\n");
    return TRUE;
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
    bool ended = StopDispatchThread(kExitWait);
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
