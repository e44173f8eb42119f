#include "message_pump.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "capi_access.h"
#include "capi_message.h"
#include "link_log.h"

namespace {

constexpr unsigned kQueueEmpty = 0x1104;

void LogMessage(const std::uint8_t* m) {
    if (!LinkLog().IsOn()) return;
    std::string title =
        "GET " + capi::MessageName(capi::MsgCommand(m), capi::MsgSubcommand(m) & 0x0F);
    LinkLog().Dump(title.c_str(), m, capi::MsgLength(m));
}

// A subcommand byte is 0x80 with the kind (request, confirmation,
// indication, response). The driver hands anything else over as it came
// from the other end, without putting the data block of a DATA_B3_IND
// behind it: its address fields point nowhere, and it is no message.
bool IsCapiMessage(const std::uint8_t* m) {
    std::uint8_t sub = capi::MsgSubcommand(m);
    return capi::MsgLength(m) >= capi::kHeaderSize && sub >= (0x80 | capi::kReq) &&
           sub <= (0x80 | capi::kResp);
}

// Offers one message to the endpoints of its application.
void Route(CAPIAccess* access, const std::uint8_t* m) {
    for (CapiEndpoint* e : EndpointList()) {
        if (e->Access() != access || !e->HandleMessage(m)) continue;
        e->OnMessageHandled();
        return;
    }
}

// Every message waiting for one application; the driver's error when its
// connection is gone.
std::size_t Drain(CAPIAccess* access) {
    std::size_t taken = 0;
    for (;;) {
        std::uint8_t* m = nullptr;
        unsigned rc = access->Get(&m);
        if (rc == kQueueEmpty || rc == CAPIAccess::kNotUsable) return taken;
        if (rc != 0) {
            DriverLost(access, rc);
            return taken;
        }
        ++taken;
        if (!m) continue;
        if (!IsCapiMessage(m)) {
            LinkLog().Dump("GET no CAPI message, dropped", m, capi::kHeaderSize);
            continue;
        }
        LogMessage(m);
        Route(access, m);
    }
}

}  // namespace

std::recursive_mutex& LinkMutex() {
    static std::recursive_mutex* mutex = new std::recursive_mutex;
    return *mutex;
}

std::vector<CapiEndpoint*>& EndpointList() {
    static std::vector<CapiEndpoint*>* list = new std::vector<CapiEndpoint*>;
    return *list;
}

CapiEndpoint::CapiEndpoint(CAPIAccess* access) : access_(access) {
    std::lock_guard lock(LinkMutex());
    EndpointList().push_back(this);
}

CapiEndpoint::~CapiEndpoint() {
    std::lock_guard lock(LinkMutex());
    auto& list = EndpointList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

std::size_t RunMessagePump() {
    static std::atomic<bool> busy{false};
    if (busy.exchange(true)) return 0;
    std::size_t taken = 0;
    {
        std::lock_guard lock(LinkMutex());
        std::vector<CAPIAccess*> served;
        // A copy: a handler may not add or remove endpoints, but the list
        // must not be walked while it could.
        for (CapiEndpoint* first : std::vector<CapiEndpoint*>(EndpointList())) {
            CAPIAccess* access = first->Access();
            if (!access || std::find(served.begin(), served.end(), access) != served.end())
                continue;
            served.push_back(access);
            taken += Drain(access);
        }
    }
    busy = false;
    return taken;
}

void DriverLost(CAPIAccess* access, unsigned error) {
    std::lock_guard lock(LinkMutex());
    if (!access || access->Lost()) return;
    access->MarkLost(error);
    for (CapiEndpoint* e : std::vector<CapiEndpoint*>(EndpointList())) {
        if (e->Access() == access) e->OnDriverLost(error);
    }
}

std::optional<LinkClock::time_point> RunDeadlines(LinkClock::time_point now) {
    std::lock_guard lock(LinkMutex());
    std::optional<LinkClock::time_point> next;
    for (CapiEndpoint* e : std::vector<CapiEndpoint*>(EndpointList())) {
        auto due = e->NextDeadline();
        if (due && *due <= now) {
            e->OnDeadline(now);
            due = e->NextDeadline();
        }
        if (due && (!next || *due < next)) next = due;
    }
    return next;
}
