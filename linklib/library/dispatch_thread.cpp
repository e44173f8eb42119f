#include "dispatch_thread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "capi_access.h"
#include "corvane.h"
#include "link_connection.h"
#include "link_log.h"
#include "message_pump.h"

namespace {

// The data-received indication is repeated this often while blocks stay
// unread; a driver without a descriptor to wait on is asked this often.
constexpr auto kRepeat = std::chrono::milliseconds(100);
// What a descriptor that hangs up stands for: the driver connection is gone.
constexpr unsigned kConnectionLost = 0x1108;

struct DispatchControl {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    int stopFd = -1;
    std::thread* thread = nullptr;
};

DispatchControl& Control() {
    static DispatchControl* control = new DispatchControl;
    return *control;
}

void SignalDone() {
    DispatchControl& d = Control();
    std::lock_guard lock(d.mutex);
    d.done = true;
    d.changed.notify_all();
}

int Millis(LinkClock::duration d) {
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 60'000));
}

class Dispatcher {
public:
    Dispatcher(LinkConnection* corvane, CAPIAccess* access, int stopFd)
        : corvane_(corvane), access_(access), stopFd_(stopFd) {}

    void Run() {
        seenChunks_ = corvane_->ChunksArrived();
        while (WaitForWork()) {
            RunMessagePump();
            nextDeadline_ = RunDeadlines(LinkClock::now());
            TellReceived();
        }
    }

private:
    // False when the thread is to end.
    bool WaitForWork() {
        int capiFd = access_ ? access_->Fileno() : -1;
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {capiFd, POLLIN | POLLRDHUP, 0}};
        int timeout = Timeout(capiFd >= 0);
        int n = poll(fds, capiFd >= 0 ? 2 : 1, timeout);
        if (n < 0 && errno != EINTR) return false;
        if (fds[0].revents != 0) return false;
        if (capiFd >= 0 && (fds[1].revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL))) {
            // What came before the end still counts.
            RunMessagePump();
            DriverLost(access_, kConnectionLost);
        }
        return true;
    }

    // Milliseconds to sleep: until a message comes, unless a time-out is
    // due, the indication is to be repeated, or the driver must be asked.
    int Timeout(bool canWaitForMessages) const {
        auto now = LinkClock::now();
        std::optional<LinkClock::time_point> wake = nextDeadline_;
        if (!canWaitForMessages) wake = std::min(wake.value_or(now + kRepeat), now + kRepeat);
        if (corvane_->ReceivedChunks() > 0) {
            auto repeat = lastReceivedInd_ + kRepeat;
            wake = wake ? std::min(*wake, repeat) : repeat;
        }
        return wake ? Millis(*wake - now) : -1;
    }

    // The connection object tells of each block as it arrives; while
    // blocks stay unread, that is repeated every 100 ms.
    void TellReceived() {
        std::uint64_t arrived = corvane_->ChunksArrived();
        auto now = LinkClock::now();
        if (arrived != seenChunks_) {
            seenChunks_ = arrived;
            lastReceivedInd_ = now;
            return;
        }
        if (corvane_->ReceivedChunks() == 0 || now - lastReceivedInd_ < kRepeat) return;
        lastReceivedInd_ = now;
        RCODataRecvInd();
    }

    LinkConnection* corvane_;
    CAPIAccess* access_;
    int stopFd_;
    std::uint64_t seenChunks_ = 0;
    LinkClock::time_point lastReceivedInd_{};
    std::optional<LinkClock::time_point> nextDeadline_;
};

void ISDNDispatchThread(LinkConnection* corvane, CAPIAccess* access, int stopFd) {
    LinkLog().Write("++ISDNDispatchThread\n");
    if (!corvane) {
        // Nothing to wait for; tell the exit at once instead of letting it wait 10 s.
        SignalDone();
        return;
    }
    Dispatcher(corvane, access, stopFd).Run();
    SignalDone();
    LinkLog().Write("--ISDNDispatchThread\n");
}

}  // namespace

bool StartDispatchThread(LinkConnection* corvane, CAPIAccess* access) {
    DispatchControl& d = Control();
    d.stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (d.stopFd < 0) return false;
    try {
        d.thread = new std::thread(ISDNDispatchThread, corvane, access, d.stopFd);
    } catch (const std::exception&) {
        close(std::exchange(d.stopFd, -1));
        return false;
    }
    return true;
}

bool DispatchThreadStarted() {
    return Control().thread != nullptr;
}

bool StopDispatchThread(std::chrono::milliseconds timeout) {
    DispatchControl& d = Control();
    if (!d.thread) return true;
    std::uint64_t one = 1;
    if (write(d.stopFd, &one, sizeof one) != sizeof one) {
        LinkLog().Write("**StopDispatchThread: stop event not set\n");
    }
    LinkLog().Write("  CorvaneExit(): vor WaitForSingleObject\n");
    std::unique_lock lock(d.mutex);
    bool done = d.changed.wait_for(lock, timeout, [&] { return d.done; });
    lock.unlock();
    if (!done) {
        LinkLog().Write("  CorvaneExit(): nach WaitForSingleObject nach TIMEOUT\n");
        // The thread may still use the stop event: it stays open.
        d.thread->detach();
        delete std::exchange(d.thread, nullptr);
        return false;
    }
    LinkLog().Write("  CorvaneExit(): nach WaitForSingleObject\n");
    d.thread->join();
    delete std::exchange(d.thread, nullptr);
    close(std::exchange(d.stopFd, -1));
    return true;
}
