// Messages from the CAPI driver as quorlin's call monitor takes them: it
// listens, is offered calls and answers every indication; each call it
// reports and every message it puts must be whole.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "call_monitor.h"
#include "fuzz_support.h"
#include "monitor_messages.h"

namespace {

struct CheckedOutbox : CapiOutbox {
    unsigned Put(const monitor::Bytes& message) override {
        auto header = monitor::ReadHeader(message.data(), message.size());
        if (!header || header->length != message.size()) std::abort();
        return 0;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    CheckedOutbox outbox;
    // A number is shown as a telephone shows it: digits, "*" and "#" only.
    auto report = [](const PhoneCall& call) {
        if (call.number.find_first_not_of("0123456789*#") != std::string::npos) std::abort();
    };
    CallMonitor monitor(7, outbox, report, [] { return std::time_t{1700000000}; });
    monitor.Listen(1);
    // Each message: its Length field says how many bytes of the input it takes.
    while (!in.Empty()) {
        std::string_view head = in.Peek(2);
        std::size_t length = head.size() < 2 ? 0
                                             : static_cast<std::uint8_t>(head[0]) |
                                                   static_cast<std::uint8_t>(head[1]) << 8;
        std::string_view m = in.Take(length < 8 ? 8 : length);
        monitor.Handle(reinterpret_cast<const std::uint8_t*>(m.data()), m.size());
    }
    return 0;
}
