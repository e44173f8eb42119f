#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

extern char** environ;

namespace capitest {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::vector<std::string> Environment(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (!changes.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : changes) {
        if (!value.empty()) env.push_back(name + "=" + value);
    }
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& t : texts) pointers.push_back(t.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env,
                           const std::string& workDir, const std::string& stderrFile) {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) return;
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        close(toChild[0]);
        close(toChild[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrFile.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = Environment(env);
    auto argvPointers = Pointers(argv);
    auto envPointers = Pointers(envp);
    started_ = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argvPointers.data(),
                           envPointers.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
    if (!started_) pid_ = -1;
}

ChildProcess::~ChildProcess() {
    if (in_ >= 0) close(in_);
    if (pid_ > 0 && !status_ && !Wait(5s)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
}

void ChildProcess::WriteLine(const std::string& line) {
    std::string text = line + "\n";
    if (in_ >= 0) (void)!write(in_, text.data(), text.size());
}

bool ChildProcess::ReadMore(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{out_, POLLIN, 0};
    if (out_ < 0 || poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) {
        return false;
    }
    char chunk[4096];
    ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) return false;
    pending_.append(chunk, static_cast<size_t>(n));
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        lines_.push_back(pending_.substr(0, end));
        pending_.erase(0, end + 1);
    }
    return true;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (next_ >= lines_.size()) {
        if (Clock::now() >= deadline || !ReadMore(deadline)) return std::nullopt;
    }
    return lines_[next_++];
}

std::optional<std::string> ChildProcess::WaitForLine(const std::string& text,
                                                     std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    for (size_t seen = 0;; ++seen) {
        while (seen >= lines_.size()) {
            if (Clock::now() >= deadline || !ReadMore(deadline)) return std::nullopt;
        }
        if (lines_[seen].find(text) != std::string::npos) return lines_[seen];
    }
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0 && !status_) kill(pid_, signal);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (status_ || pid_ <= 0) return status_;
    auto deadline = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            // What is left of the output is still worth reading.
            while (ReadMore(Clock::now())) {
            }
            return status_;
        }
        if (Clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(10ms);
    }
}

}  // namespace capitest
