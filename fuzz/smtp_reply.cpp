// A mail server's replies as velo's SMTP client takes them: however the
// network cuts the bytes into pieces, the same replies come out.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "smtp_reply.h"

namespace {

struct Taken {
    std::vector<SmtpReply> replies;
    std::string pending;
};

Taken TakeAll(std::string_view bytes, std::size_t piece) {
    Taken taken;
    SmtpReplyBuffer buffer;
    while (!bytes.empty()) {
        std::size_t n = piece < bytes.size() ? piece : bytes.size();
        buffer.Append(bytes.substr(0, n));
        bytes.remove_prefix(n);
        while (auto reply = buffer.TakeReply()) {
            reply->Texts();
            reply->LastLine();
            taken.replies.push_back(*reply);
        }
    }
    taken.pending = buffer.PendingText();
    return taken;
}

bool Same(const Taken& a, const Taken& b) {
    if (a.replies.size() != b.replies.size() || a.pending != b.pending) return false;
    for (std::size_t i = 0; i < a.replies.size(); ++i) {
        if (a.replies[i].code != b.replies[i].code || a.replies[i].lines != b.replies[i].lines)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    std::size_t piece = in.Byte() % 16 + 1;
    // The input said many times over makes replies of up to 16 KB: long
    // enough for work that grows faster than a reply to show, short enough
    // to take every reply out one by one many times a second.
    constexpr std::size_t kMaxBytes = 16 * 1024;
    std::size_t times = in.Byte() * std::size_t{64} + 1;
    std::string bytes;
    for (std::string_view once = in.Rest(); times > 0 && bytes.size() < kMaxBytes; --times)
        bytes += once;
    if (bytes.size() > kMaxBytes) bytes.resize(kMaxBytes);
    if (!Same(TakeAll(bytes, bytes.size() + 1), TakeAll(bytes, piece))) std::abort();
    return 0;
}
