// What a caller sends to capisim's SMS centres over the B channel, in
// blocks of any cut: the TAP and the UCP/EMI centre read it, answer and
// take in the messages it carries.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "sms_centre.h"

using namespace capisim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    std::uint8_t mode = in.Byte();
    std::string error;
    auto config = ParseSmsCentre(mode & 1 ? "sms-emi" : "sms-tap", error);
    if (!config) std::abort();
    std::uint64_t blocks = 0;
    auto session = MakeSmsCentreSession(*config, 1, blocks);
    auto now = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));
    std::size_t piece = (mode >> 1) % 64 + 1;
    while (!in.Empty() && session) {
        std::string_view block = in.Take(piece);
        SmsCentreOutput out;
        session->Receive(Bytes(block.begin(), block.end()), now, out);
        if (out.hangUp) break;
    }
    return 0;
}
