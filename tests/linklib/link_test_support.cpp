#include "link_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::recv(fd, data, size, 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

int Listener(int& port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0) {
        close(fd);
        return -1;
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

}  // namespace

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int ClosedPort() {
    int port = 0;
    int fd = Listener(port);
    close(fd);
    return port;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env,
                           const std::string& workDir, const std::string& stderrFile) {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) return;
    if (pipe2(fromChild, O_CLOEXEC) != 0) return;
    std::map<std::string, std::string> all;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        auto eq = entry.find('=');
        if (eq != std::string::npos) all[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [key, value] : env) {
        if (value.empty()) {
            all.erase(key);
        } else {
            all[key] = value;
        }
    }
    std::vector<std::string> envText;
    for (const auto& [key, value] : all) envText.push_back(key + "=" + value);
    std::vector<char*> envp, argv;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string programCopy = program;
    std::vector<std::string> argsCopy = args;
    argv.push_back(programCopy.data());
    for (auto& a : argsCopy) argv.push_back(a.data());
    argv.push_back(nullptr);
    int errFd = open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        if (errFd >= 0) dup2(errFd, 2);
        if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    if (errFd >= 0) close(errFd);
    in_ = toChild[1];
    out_ = fromChild[0];
}

ChildProcess::~ChildProcess() {
    if (in_ >= 0) close(in_);
    if (pid_ > 0 && !Wait(5s)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
}

void ChildProcess::WriteLine(const std::string& line) {
    std::string text = line + "\n";
    if (in_ >= 0) (void)!write(in_, text.data(), text.size());
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    for (;;) {
        auto newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        ssize_t n = read(out_, buffer, sizeof buffer);
        if (n <= 0) return std::nullopt;
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (pid_ > 0) {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(10ms);
    }
    return std::nullopt;
}

Exchange::Exchange(const std::string& workDir, const std::vector<std::string>& lines,
                   const std::vector<std::string>& extra)
    : callLog_(workDir + "/calls.jsonl") {
    std::vector<std::string> args;
    for (const auto& line : lines) {
        args.push_back("--line");
        args.push_back(line);
    }
    args.push_back("--call-log");
    args.push_back(callLog_);
    args.insert(args.end(), extra.begin(), extra.end());
    ready_ = process_.Start(args);
}

std::uint16_t WireMessage::Word(std::size_t at) const {
    if (body.size() < at + 2) return 0;
    return static_cast<std::uint16_t>(body[at] | body[at + 1] << 8);
}
std::uint32_t WireMessage::Dword(std::size_t at) const {
    return Word(at) | static_cast<std::uint32_t>(Word(at + 2)) << 16;
}
std::uint16_t WireMessage::Number() const {
    return Word(6);
}
std::uint16_t WireMessage::Length() const {
    return Word(0);
}

WireRecorder::WireRecorder(int targetPort) : target_(targetPort) {
    listen_ = Listener(port_);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

WireRecorder::~WireRecorder() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (int fd : sockets_) shutdown(fd, SHUT_RDWR);
    }
    shutdown(listen_, SHUT_RDWR);
    acceptor_.join();
    for (auto& t : threads_) t.join();
    for (int fd : sockets_) close(fd);
    close(listen_);
}

void WireRecorder::AcceptLoop() {
    for (;;) {
        int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<std::uint16_t>(target_));
        if (connect(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            close(client);
            close(server);
            continue;
        }
        std::lock_guard lock(mutex_);
        if (stopping_) {
            close(client);
            close(server);
            return;
        }
        sockets_.push_back(client);
        sockets_.push_back(server);
        threads_.emplace_back([this, client, server] { Relay(client, server, true); });
        threads_.emplace_back([this, client, server] { Relay(server, client, false); });
    }
}

void WireRecorder::Relay(int from, int to, bool fromApplication) {
    for (;;) {
        std::uint8_t head[2];
        if (!ReadAll(from, head, 2)) break;
        std::size_t total = static_cast<std::size_t>(head[0] << 8 | head[1]);
        if (total < 2) break;
        std::vector<std::uint8_t> body(total - 2);
        if (!ReadAll(from, body.data(), body.size())) break;
        {
            // Recorded before it is passed on, so the order of the record
            // follows cause and effect across both directions.
            std::lock_guard lock(mutex_);
            messages_.push_back({sequence_++, fromApplication, body});
        }
        if (!WriteAll(to, head, 2) || !WriteAll(to, body.data(), body.size())) break;
    }
    shutdown(to, SHUT_RDWR);
    shutdown(from, SHUT_RDWR);
}

std::vector<WireMessage> WireRecorder::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<WireMessage> WireRecorder::WaitFor(std::uint8_t command, std::uint8_t subcommand,
                                               std::size_t count,
                                               std::chrono::milliseconds timeout) const {
    auto deadline = Clock::now() + timeout;
    for (;;) {
        std::vector<WireMessage> found;
        for (const auto& m : Messages()) {
            if (m.Command() == command && m.Subcommand() == subcommand) found.push_back(m);
        }
        if (found.size() >= count || Clock::now() > deadline) return found;
        std::this_thread::sleep_for(10ms);
    }
}

Station::Station(const std::string& root, const std::string& name, int capiPort,
                 const std::map<std::string, std::string>& env, bool debugLog) {
    dir_ = capitest::MakeCapiHome(root, name, capiPort ? capiPort : ClosedPort());
    std::ofstream(dir_ + "/Telvora.cfg") << "[Parameters]\ndebug=" << (debugLog ? 1 : 0) << "\n";
    std::map<std::string, std::string> all = {{"HOME", dir_}, {"TELVORA_HOME", dir_}};
    for (const auto& [k, v] : env) all[k] = v;
    process_ = std::make_unique<ChildProcess>(LINK_STATION_PATH, std::vector<std::string>{}, all,
                                              dir_, dir_ + "/stderr.txt");
}

std::string Station::Run(const std::string& command, std::chrono::milliseconds timeout) {
    Post(command);
    return Answer(timeout);
}

void Station::Post(const std::string& command) {
    process_->WriteLine(command);
}

std::string Station::Answer(std::chrono::milliseconds timeout) {
    return process_->ReadLine(timeout).value_or("");
}

std::optional<int> Station::Quit(std::chrono::milliseconds timeout) {
    process_->WriteLine("quit");
    return process_->Wait(timeout);
}

std::string Station::Log() const {
    return ReadFile(dir_ + "/Velo.log");
}
std::string Station::Errors() const {
    return ReadFile(dir_ + "/stderr.txt");
}

std::string Field(const std::string& line, std::size_t index) {
    std::istringstream in(line);
    std::string word;
    for (std::size_t i = 0; i <= index; ++i) {
        if (!(in >> word)) return "";
    }
    return word;
}

std::vector<WireMessage> Only(const std::vector<WireMessage>& all, std::uint8_t command,
                              std::uint8_t subcommand) {
    std::vector<WireMessage> out;
    for (const auto& m : all) {
        if (m.Command() == command && m.Subcommand() == subcommand) out.push_back(m);
    }
    return out;
}
