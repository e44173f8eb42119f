#include "quorlin_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "capisim_process.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> Environment(const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        if (!overrides.count(name)) env.push_back(entry);
    }
    for (const auto& [name, value] : overrides) env.push_back(name + "=" + value);
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
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrFile.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = Environment(env);
    auto argvPointers = Pointers(argv);
    auto envPointers = Pointers(envp);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argvPointers.data(),
                    envPointers.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
}

bool ChildProcess::ReadMore(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, int(std::max<long>(left.count(), 0))) <= 0) return false;
    char chunk[1024];
    ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) return false;
    pending_.append(chunk, size_t(n));
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        lines_.push_back(pending_.substr(0, end));
        pending_.erase(0, end + 1);
    }
    return true;
}

std::optional<std::string> ChildProcess::WaitForLine(const std::string& text,
                                                     std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    size_t seen = 0;
    for (;;) {
        for (; seen < lines_.size(); ++seen) {
            if (lines_[seen].find(text) != std::string::npos) return lines_[seen];
        }
        if (out_ < 0 || Clock::now() >= deadline || !ReadMore(deadline)) return std::nullopt;
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

QuorlinStation::QuorlinStation(const std::string& root, const std::string& name, int capiPort,
                               bool withVelo)
    : dir_(root + "/" + name) {
    namespace fs = std::filesystem;
    for (const char* sub : {"bin", "install", "work"}) fs::create_directories(dir_ + "/" + sub);
    capitest::MakeCapiHome(dir_, "home", capiPort);
    // A copy, not a link: quorlin finds its program folder through its own path.
    fs::copy_file(QUORLIN_PATH, dir_ + "/bin/quorlin");
    if (withVelo) {
        std::string velo = dir_ + "/bin/velo";
        WriteFile(velo,
                  "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$(dirname \"$0\")/velo-args.txt\"\n");
        chmod(velo.c_str(), 0755);
    }
    WriteFile(InstallDir() + "/Telvora.cfg", "[Parameters]\ndebug=1\n");
}

bool QuorlinStation::Start(const std::vector<std::string>& args) {
    std::string home = dir_ + "/home";
    process_ = std::make_unique<ChildProcess>(
        dir_ + "/bin/quorlin", args,
        std::map<std::string, std::string>{
            {"HOME", home}, {"TELVORA_HOME", InstallDir()}, {"XDG_CONFIG_HOME", home + "/.config"}},
        dir_ + "/work", dir_ + "/stderr.txt");
    return process_->Started() && process_->WaitForLine("Bereit", 20s).has_value();
}

std::string QuorlinStation::Errors() const {
    return ReadFile(dir_ + "/stderr.txt");
}

std::string QuorlinStation::Log() const {
    return ReadFile(dir_ + "/work/Quorlin.log");
}

std::map<std::string, std::string> CallerEnvironment(const std::string& root,
                                                     const std::string& name, int capiPort) {
    std::string dir = root + "/" + name;
    std::filesystem::create_directories(dir + "/install");
    std::string home = capitest::MakeCapiHome(dir, "home", capiPort);
    return {
        {"HOME", home}, {"TELVORA_HOME", dir + "/install"}, {"XDG_CONFIG_HOME", home + "/.config"}};
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(20ms);
    }
    return true;
}
