#include "platform.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <thread>

extern char** environ;

std::string CTimeText(std::time_t when) {
    char buf[64];
    if (!ctime_r(&when, buf)) return {};
    std::string text(buf);
    return text.substr(0, text.find('\n'));
}

std::string MakeTempFile(const std::string& prefix, const std::string& suffix) {
    const char* dir = std::getenv("TMPDIR");
    std::string path = (dir && *dir) ? dir : "/tmp";
    if (path.back() != '/') path += '/';
    path += prefix + "XXXXXX" + suffix;
    int fd = mkstemps(path.data(), static_cast<int>(suffix.size()));
    if (fd < 0) return {};
    close(fd);
    return path;
}

namespace {

// The child starts with no blocked signals and with SIGPIPE at its default,
// whatever this process (a socket user) has set for itself.
struct SpawnAttributes {
    posix_spawnattr_t attr;
    SpawnAttributes() {
        posix_spawnattr_init(&attr);
        sigset_t none, pipe;
        sigemptyset(&none);
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &pipe);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr); }
};

}  // namespace

pid_t StartProgram(const std::string& program, const std::vector<std::string>& args) {
    if (program.empty()) return -1;
    std::vector<std::string> owned;
    owned.reserve(args.size() + 1);
    owned.push_back(program);
    owned.insert(owned.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : owned) argv.push_back(arg.data());
    argv.push_back(nullptr);

    SpawnAttributes attributes;
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, &attributes.attr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

pid_t StartDetachedProgram(const std::string& program, const std::vector<std::string>& args,
                           std::function<void(int status)> onEnd) {
    pid_t pid = StartProgram(program, args);
    if (pid > 0) {
        std::thread([pid, onEnd = std::move(onEnd)] {
            int status = 0;
            pid_t got;
            while ((got = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
            }
            if (got != pid || !onEnd) return;
            onEnd(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
        }).detach();
    }
    return pid;
}

std::optional<int> WaitProgram(pid_t pid, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t got = waitpid(pid, &status, WNOHANG);
        if (got == pid) {
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            return 128 + WTERMSIG(status);
        }
        if (got < 0 && errno != EINTR) return std::nullopt;
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}
