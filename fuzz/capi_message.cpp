// Messages from the CAPI driver as the link library takes them: each one
// goes through the message pump to a connection that has just placed a
// call, carries one with an open data connection, or listens for calls.
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "capi_message.h"
#include "corvane.h"
#include "fuzz_support.h"
#include "link_connection.h"
#include "message_pump.h"
#include "scripted_driver_test.h"

namespace {

constexpr std::uint32_t kPlci = 0x0101;
constexpr std::uint32_t kNcci = 0x00010101;
constexpr std::uint8_t kConf = 0x81, kInd = 0x82;
// DATA_B3_IND: data length at 16, the 64-bit data address at 22.
constexpr std::size_t kDataLengthAt = 16, kData64At = 22, kDataB3IndSize = 30;

class Line {
public:
    Line()
        : driver_(new ScriptedDriver), access_(2, 12, 128, std::unique_ptr<CapiDriver>(driver_)) {}

    // The message as the driver hands it over: its Length is what arrived,
    // and a DATA_B3_IND points at a block of the length it gives, which the
    // driver keeps until the next message.
    void Deliver(std::string_view bytes) {
        Bytes m(bytes.begin(), bytes.end());
        if (m.size() < capi::kHeaderSize) m.resize(capi::kHeaderSize);
        capi::PutWord(m.data(), static_cast<std::uint16_t>(m.size()));
        if (m[4] == capi::kDataB3 && m[5] == kInd && m.size() >= kDataB3IndSize &&
            capi::Qword(&m[kData64At]) != 0) {
            data_.assign(capi::Word(&m[kDataLengthAt]), 0);
            for (std::size_t i = 0; i < data_.size(); ++i) data_[i] = m[i % m.size()];
            capi::PutQword(&m[kData64At], reinterpret_cast<std::uintptr_t>(data_.data()));
        }
        driver_->incoming.push_back(std::move(m));
        RunMessagePump();
    }
    void Deliver(const Bytes& m) {
        Deliver(std::string_view(reinterpret_cast<const char*>(m.data()), m.size()));
    }
    std::uint16_t LastRequestNumber() const {
        for (auto it = driver_->puts.rbegin(); it != driver_->puts.rend(); ++it) {
            if (it->Subcommand() == 0x80) return it->Number();
        }
        return 0;
    }
    void BringUpOutgoing(LinkConnection& link) {
        link.ConnectReq("222", 0x8002, "111");
        Deliver(Message(capi::kConnect, kConf, LastRequestNumber(), {Le32(kPlci), Le16(0)}));
        Deliver(Message(capi::kConnectActive, kInd, 40, {Le32(kPlci), {0}, {0}, {0}}));
        Deliver(Message(capi::kConnectB3, kConf, LastRequestNumber(), {Le32(kNcci), Le16(0)}));
        Deliver(Message(capi::kConnectB3Active, kInd, 41, {Le32(kNcci), {0}}));
    }
    CAPIAccess* Access() { return &access_; }

private:
    ScriptedDriver* driver_;
    CAPIAccess access_;
    Bytes data_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    Line line;
    LinkConnection link(line.Access(), 0);
    CRComObj obj;  // hears the indications of the call
    switch (in.Byte() % 3) {
        case 0:
            link.ConnectReq("0301234", 0x8002, "4711");
            break;
        case 1:
            line.BringUpOutgoing(link);
            break;
        default:
            link.ListenReq(0x1FFF03FF, 0x0144, "4711");
            break;
    }
    // Each message: the Length field of its header says how many bytes it
    // takes of the input.
    while (!in.Empty()) {
        std::string_view head = in.Peek(2);
        std::size_t length =
            head.size() < 2 ? 0 : capi::Word(reinterpret_cast<const std::uint8_t*>(head.data()));
        line.Deliver(in.Take(length < capi::kHeaderSize ? capi::kHeaderSize : length));
    }
    return 0;
}
