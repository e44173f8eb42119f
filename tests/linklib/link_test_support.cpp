#include "link_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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
        // The relay must not slow the line down: each packet goes on at once.
        int yes = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
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
        std::vector<std::uint8_t> packet(total);
        packet[0] = head[0];
        packet[1] = head[1];
        if (!ReadAll(from, packet.data() + 2, total - 2)) break;
        {
            // Recorded before it is passed on, so the order of the record
            // follows cause and effect across both directions.
            std::lock_guard lock(mutex_);
            messages_.push_back({sequence_++, fromApplication,
                                 std::vector<std::uint8_t>(packet.begin() + 2, packet.end())});
        }
        if (!WriteAll(to, packet.data(), packet.size())) break;
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
