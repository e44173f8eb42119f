#include "program_output.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Enough for any answer of nmcli; more is not kept.
constexpr std::size_t kMaxOutput = 1 << 20;

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, left));
}

// Reads what is there into text; false at the end of the output.
bool ReadSome(int fd, std::string& text) {
    char chunk[4096];
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) return true;
    if (n <= 0) return false;
    if (text.size() < kMaxOutput) text.append(chunk, static_cast<std::size_t>(n));
    return true;
}

struct Pipe {
    int read = -1, write = -1;
    bool Open() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
    void Close() {
        if (read >= 0) close(read);
        if (write >= 0) close(write);
        read = write = -1;
    }
};

}  // namespace

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        start = end + 1;
        // An empty entry stands for the current folder, as the shell takes it.
        std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

ProgramOutput RunForOutput(const std::string& path, const std::vector<std::string>& args,
                           milliseconds timeout) {
    ProgramOutput result;
    Pipe out, err;
    if (!out.Open() || !err.Open()) {
        result.startError = errno;
        out.Close();
        err.Close();
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.write, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own, so that a time-out ends whatever it started too.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out.write);
    close(err.write);
    out.write = err.write = -1;
    if (spawned != 0) {
        result.startError = spawned;
        out.Close();
        err.Close();
        return result;
    }

    auto deadline = Clock::now() + timeout;
    pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
    bool timedOut = false;
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        int n = poll(fds, 2, MillisecondsLeft(deadline));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            timedOut = true;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && fds[i].revents &&
                !ReadSome(fds[i].fd, i ? result.err : result.out)) {
                fds[i].fd = -1;
            }
        }
    }
    out.Close();
    err.Close();

    int status = 0;
    for (;;) {
        pid_t done = timedOut ? 0 : waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) break;
        if (timedOut || Clock::now() >= deadline) {
            timedOut = true;
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        // Its output is closed; it is ending. Look again shortly.
        std::this_thread::sleep_for(milliseconds(5));
    }
    if (timedOut) {
        result.outcome = ProgramOutput::Outcome::kTimedOut;
    } else if (WIFSIGNALED(status)) {
        result.outcome = ProgramOutput::Outcome::kSignalled;
        result.exitStatus = WTERMSIG(status);
    } else {
        result.outcome = ProgramOutput::Outcome::kExited;
        result.exitStatus = WEXITSTATUS(status);
    }
    return result;
}
