#include "monitor_service.h"

#include <capi20.h>
#include <poll.h>

#include "quorlin_log.h"

namespace {

// The monitor never takes a call, so it needs no B3 connection or buffers
// to speak of; the driver still wants at least one of each.
constexpr unsigned kMaxLogicalConnections = 1;
constexpr unsigned kMaxB3Blocks = 1;
constexpr unsigned kMaxB3Length = 128;
constexpr unsigned kQueueEmpty = 0x1104;
// CAPI's "OS resource error": what the end of the driver connection stands for.
constexpr unsigned kConnectionLost = 0x1108;
constexpr int kPollMillis = 100;

}  // namespace

class MonitorService::Outbox : public CapiOutbox {
public:
    explicit Outbox(unsigned applId) : applId_(applId) {}
    unsigned Put(const monitor::Bytes& message) override {
        // libcapi20 may read the buffer beyond the message for data
        // messages; the monitor sends none, but the copy costs nothing.
        buffer_.assign(message.begin(), message.end());
        buffer_.resize(message.size() + 64);
        return capi20_put_message(applId_, buffer_.data());
    }

private:
    unsigned applId_;
    monitor::Bytes buffer_;
};

MonitorService::~MonitorService() {
    Stop();
}

std::optional<unsigned> MonitorService::Start(CallMonitor::Reporter report, LostHandler lost,
                                              bool listen) {
    unsigned rc = capi20_register(kMaxLogicalConnections, kMaxB3Blocks, kMaxB3Length, &applId_);
    if (rc != 0) return rc;
    registered_ = true;
    Log().Debug().Printf("  MonitorService registered (ApplID=%u)\n", applId_);
    stop_ = false;
    state_ = CallMonitor::ListenState::Pending;
    thread_ = std::thread(&MonitorService::Run, this, std::move(report), std::move(lost), listen);
    return std::nullopt;
}

CallMonitor::ListenState MonitorService::WaitUntilListening(
    std::chrono::milliseconds timeout) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (state_ == CallMonitor::ListenState::Pending &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return state_;
}

void MonitorService::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (!registered_) return;
    capi20_release(applId_);
    registered_ = false;
    Log().Debug().Write("  MonitorService released\n");
}

void MonitorService::Run(CallMonitor::Reporter report, LostHandler lost, bool listen) {
    Outbox outbox(applId_);
    CallMonitor monitor(static_cast<std::uint16_t>(applId_), outbox, std::move(report));
    if (listen) monitor.Listen(kController);
    int fd = capi20_fileno(applId_);
    while (!stop_) {
        if (auto error = DrainMessages(monitor)) return LineLost(*error, lost);
        state_ = monitor.State();
        listenError_ = monitor.ListenError();
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMillis));
            continue;
        }
        // The remote driver says nothing when its server goes away; the
        // socket does.
        pollfd p{fd, POLLIN | POLLRDHUP, 0};
        if (poll(&p, 1, kPollMillis) <= 0) continue;
        if (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) {
            // What came before the end still counts.
            auto error = DrainMessages(monitor);
            return LineLost(error.value_or(kConnectionLost), lost);
        }
    }
}

void MonitorService::LineLost(unsigned error, const LostHandler& lost) {
    Log().Debug().Printf("**MonitorService line lost (0x%04X)\n", error);
    state_ = CallMonitor::ListenState::Refused;
    listenError_ = error;
    if (lost) lost(error);
}

// Takes every message that has come; the driver's error when its connection is gone.
std::optional<unsigned> MonitorService::DrainMessages(CallMonitor& monitor) {
    for (;;) {
        // With the remote driver a get blocks until a message comes, so ask first.
        timeval none{0, 0};
        if (capi20_waitformessage(applId_, &none) != 0) return std::nullopt;
        unsigned char* message = nullptr;
        unsigned rc = capi20_get_message(applId_, &message);
        if (rc == kQueueEmpty) return std::nullopt;
        if (rc != 0 || !message) return rc ? rc : kConnectionLost;
        std::size_t length = std::size_t(message[0] | message[1] << 8);
        monitor.Handle(message, length);
    }
}
