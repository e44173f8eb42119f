// A mail server's replies as velo's SMTP client takes them: however the
// network cuts the bytes into pieces, the same replies come out.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

// One input in 256, picked by a checksum the fuzzer cannot aim at, is also
// said many times over into replies of up to 16 KB: long enough for work
// that grows faster than a reply to show. A flag byte would not do: the
// fuzzer learns the value it is compared with and sets it in every third
// input.
bool Repeated(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) sum = (sum ^ data[i]) * 16777619u;
    return sum % 256 == 0;
}

// The long form runs in a child process. Its loops go round thousands of
// times more often than those of a short input; seen by the fuzzer, every
// such count would be a new path, long inputs would fill the corpus and be
// picked again and again at a hundred times the cost. The child's coverage
// stays with the child; its failure, or its taking too long, is the
// parent's.
void CheckLongForm(std::string_view once, std::size_t piece) {
    constexpr std::size_t kMaxBytes = 16 * 1024;
    std::string bytes;
    while (bytes.size() < kMaxBytes) bytes += once;
    bytes.resize(kMaxBytes);
    pid_t child = fork();
    if (child == 0) {
        signal(SIGALRM, SIG_DFL);
        alarm(10);
        _exit(Same(TakeAll(bytes, bytes.size() + 1), TakeAll(bytes, piece)) ? 0 : 1);
    }
    if (child < 0) std::abort();
    int status = 0;
    while (waitpid(child, &status, 0) != child) {
        if (errno != EINTR) std::abort();
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    bool repeat = Repeated(data, size);
    fuzz::Input in(data, size);
    std::size_t piece = in.Byte() % 16 + 1;
    std::string_view bytes = in.Rest();
    if (!Same(TakeAll(bytes, bytes.size() + 1), TakeAll(bytes, piece))) std::abort();
    if (repeat && !bytes.empty()) CheckLongForm(bytes, piece);
    return 0;
}
