#include "current_link.h"

#include <mutex>

namespace {

// The mutex keeps an indication from reaching an interface that is being
// destroyed: the table's destructor forgets the pair under it.
// It is recursive because an indication may be given while it is held by
// WhileCurrent.
struct Current {
    std::recursive_mutex mutex;
    CRComInterface* iface = nullptr;
    CRComLink* link = nullptr;
    unsigned serial = 0;
};

Current& TheCurrent() {
    static Current* current = new Current;
    return *current;
}

}  // namespace

void MakeCurrentLink(CRComInterface* iface, CRComLink* link) {
    Current& c = TheCurrent();
    std::lock_guard lock(c.mutex);
    c.iface = iface;
    c.link = link;
    ++c.serial;
}

unsigned CurrentLinkSerial() {
    Current& c = TheCurrent();
    std::lock_guard lock(c.mutex);
    return c.serial;
}

bool WhileCurrent(unsigned serial, const std::function<void()>& f) {
    Current& c = TheCurrent();
    std::lock_guard lock(c.mutex);
    if (!c.link || c.serial != serial) return false;
    f();
    return true;
}

void ForgetCurrentLink(const CRComLink* link) {
    Current& c = TheCurrent();
    std::lock_guard lock(c.mutex);
    if (c.link != link) return;
    c.iface = nullptr;
    c.link = nullptr;
}

bool WithCurrentInterface(const std::function<void(CRComInterface&)>& f) {
    Current& c = TheCurrent();
    std::lock_guard lock(c.mutex);
    if (!c.iface) return false;
    f(*c.iface);
    return true;
}

bool WithCurrentLink(const std::function<void(CRComLink&)>& f) {
    Current& c = TheCurrent();
    std::lock_guard lock(c.mutex);
    if (!c.link) return false;
    f(*c.link);
    return true;
}
