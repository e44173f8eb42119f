#include "capisim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace capitest {
namespace {

using Clock = std::chrono::steady_clock;

std::optional<CapisimLine> ParseLine(const std::string& text) {
    std::istringstream in(text);
    std::string word, numbers;
    CapisimLine line;
    if (!(in >> word >> line.name >> line.port >> numbers) || word != "line") return std::nullopt;
    std::stringstream list(numbers);
    for (std::string n; std::getline(list, n, ',');) line.numbers.push_back(n);
    return line;
}

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Reads a JSON string starting after its opening quote.
std::optional<std::string> ReadString(const std::string& s, size_t& at) {
    std::string out;
    while (at < s.size() && s[at] != '"') {
        char c = s[at++];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (at >= s.size()) return std::nullopt;
        char e = s[at++];
        if (e == 'u' && at + 4 <= s.size()) {
            AppendUtf8(out, unsigned(std::stoul(s.substr(at, 4), nullptr, 16)));
            at += 4;
            continue;
        }
        switch (e) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            default:
                out += e;
        }
    }
    if (at >= s.size()) return std::nullopt;
    ++at;
    return out;
}

}  // namespace

TempDir::TempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/capisim-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data())) path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string CapisimProcess::Program() {
    const char* override = getenv("CAPISIM");
    return override && *override ? override : CAPISIM_PATH;
}

CapisimProcess::~CapisimProcess() {
    if (pid_ > 0) Stop(5s);
}

bool CapisimProcess::Start(const std::vector<std::string>& args,
                           std::chrono::milliseconds timeout) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::string program = Program();
    std::vector<char*> argv{program.data()};
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
    if (rc != 0) {
        pid_ = -1;
        error_ = "cannot start " + program;
        return false;
    }
    return ReadReady(timeout);
}

bool CapisimProcess::ReadReady(std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    std::string buffer;
    while (Clock::now() < deadline) {
        size_t end;
        while ((end = buffer.find('\n')) != std::string::npos) {
            std::string text = buffer.substr(0, end);
            buffer.erase(0, end + 1);
            if (text == "ready") return true;
            if (auto line = ParseLine(text)) lines_.push_back(*line);
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{stdout_, POLLIN, 0};
        if (poll(&p, 1, int(std::max<long>(left.count(), 1))) <= 0) continue;
        char chunk[512];
        ssize_t n = read(stdout_, chunk, sizeof chunk);
        if (n <= 0) {
            error_ = "capisim ended before it was ready";
            return false;
        }
        buffer.append(chunk, size_t(n));
    }
    error_ = "capisim was not ready in time";
    return false;
}

int CapisimProcess::Port(const std::string& name) const {
    for (const CapisimLine& line : lines_) {
        if (line.name == name) return line.port;
    }
    return -1;
}

bool CapisimProcess::Command(const std::string& text) {
    std::string line = text + "\n";
    return stdin_ >= 0 && write(stdin_, line.data(), line.size()) == ssize_t(line.size());
}

bool CapisimProcess::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    return false;
}

void CapisimProcess::Kill() {
    if (pid_ > 0 && Running()) kill(pid_, SIGKILL);
    Stop(10s);
}

int CapisimProcess::Stop(std::chrono::milliseconds timeout) {
    if (stdin_ >= 0) close(stdin_);
    stdin_ = -1;
    auto deadline = Clock::now() + timeout;
    while (Running() && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
    if (Running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        status_ = -1;
    }
    if (stdout_ >= 0) close(stdout_);
    stdout_ = -1;
    return status_.value_or(-1);
}

std::string MakeCapiHome(const std::string& dir, const std::string& name, int port) {
    std::string home = dir + "/" + name;
    std::filesystem::create_directories(home);
    std::ofstream(home + "/.capi20rc") << "REMOTE rcapi 127.0.0.1 " << port << "\n";
    return home;
}

std::optional<LogEntry> ParseJsonLine(const std::string& s) {
    LogEntry entry;
    size_t at = s.find('{');
    if (at == std::string::npos) return std::nullopt;
    ++at;
    while (at < s.size() && s[at] != '}') {
        if (s[at] == ',' || s[at] == ' ') {
            ++at;
            continue;
        }
        if (s[at++] != '"') return std::nullopt;
        auto key = ReadString(s, at);
        if (!key || at >= s.size() || s[at++] != ':') return std::nullopt;
        if (at < s.size() && s[at] == '"') {
            ++at;
            auto value = ReadString(s, at);
            if (!value) return std::nullopt;
            entry[*key] = *value;
            continue;
        }
        size_t end = s.find_first_of(",}", at);
        if (end == std::string::npos) return std::nullopt;
        entry[*key] = s.substr(at, end - at);
        at = end;
    }
    return entry;
}

std::vector<LogEntry> ReadCallLog(const std::string& path) {
    std::vector<LogEntry> entries;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (auto entry = ParseJsonLine(line)) entries.push_back(*entry);
    }
    return entries;
}

std::vector<LogEntry> WaitForCallLog(const std::string& path, size_t count,
                                     std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    auto entries = ReadCallLog(path);
    while (entries.size() < count && Clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
        entries = ReadCallLog(path);
    }
    return entries;
}

}  // namespace capitest
