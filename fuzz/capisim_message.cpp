// A client's byte stream as capisim takes it: packets cut out of the TCP
// stream, the driver's own requests, and CAPI messages, whose decoded form
// must encode to a message that decodes to the same.
#include <cstdint>
#include <cstdlib>

#include "capi_message.h"
#include "fuzz_support.h"
#include "wire.h"

using namespace capisim;

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

void Packet(const Bytes& body) {
    if (IsRemoteRequest(body)) {
        auto request = ParseRemoteRequest(body);
        if (!request) return;
        RegisterReply(*request, 0);
        ProfileReply(*request, 1);
        ManufacturerReply(*request, "capisim");
        VersionReply(*request);
        SerialNumberReply(*request, "0000001");
        return;
    }
    DecodeResult decoded = Decode(body);
    if (!decoded.message) return;
    const Message& m = *decoded.message;
    CommandName(m.command, m.subcommand);
    for (const Param& p : m.params) {
        if (!p.isStruct) continue;
        CalledDigits(p.bytes);
        CallingDigits(p.bytes);
    }
    DecodeResult again = Decode(Encode(m));
    Check(again.message.has_value());
    Check(Encode(*again.message) == Encode(m));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte cuts the stream into pieces of its size, as the
    // network may hand it over.
    fuzz::Input in(data, size);
    std::size_t piece = in.Byte() % 64 + 1;
    FrameReader reader;
    while (!in.Empty()) {
        std::string_view bytes = in.Take(piece);
        reader.Append(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        Bytes body;
        for (;;) {
            auto result = reader.Next(body);
            if (result == FrameReader::Result::kNeedMore) break;
            if (result == FrameReader::Result::kMalformed) return 0;
            Packet(body);
        }
    }
    return 0;
}
