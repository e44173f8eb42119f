#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace capisim {
namespace {

constexpr size_t kMaxPending = 8 * 1024 * 1024;
constexpr uint16_t kRegisterTooSmallBlocks = 0x1002;
constexpr uint16_t kMinBlockSize = 128;

ExchangeSettings SettingsFrom(const Options& o) {
    ExchangeSettings s;
    s.bitsPerSecond = o.bitsPerSecond;
    s.delay = std::chrono::microseconds(int64_t(o.delayMs * 1000));
    s.ringTime =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.ringSeconds));
    return s;
}

void SetNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

}  // namespace

Server::Server(const Options& options, CallLog& log, SmsLog& smsLog)
    : options_(options),
      log_(log),
      smsLog_(smsLog),
      exchange_(NumberPlan(options.lines, options.specials), SettingsFrom(options), *this) {}

Server::~Server() {
    for (int fd : listeners_) close(fd);
    for (auto& [id, c] : connections_) close(c.fd);
}

bool Server::Listen(std::string& error) {
    for (const LineConfig& line : options_.lines) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(line.port);
        socklen_t size = sizeof addr;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), size) != 0 ||
            listen(fd, 16) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size)) {
            error = "Leitung " + line.name + ": Port " + std::to_string(line.port) +
                    " kann nicht geöffnet werden: " + strerror(errno);
            if (fd >= 0) close(fd);
            return false;
        }
        SetNonBlocking(fd);
        listeners_.push_back(fd);
        ports_.push_back(ntohs(addr.sin_port));
    }
    return true;
}

std::string Server::ReadyText() const {
    std::string text;
    for (size_t i = 0; i < options_.lines.size(); ++i) {
        const LineConfig& line = options_.lines[i];
        text += "line " + line.name + " " + std::to_string(ports_[i]) + " ";
        for (size_t n = 0; n < line.numbers.size(); ++n) {
            text += (n ? "," : "") + line.numbers[n];
        }
        text += "\n";
    }
    return text + "ready\n";
}

void Server::Send(AppId app, const Message& m) {
    auto it = connections_.find(app);
    if (it == connections_.end() || it->second.closed) return;
    Queue(it->second, Encode(m));
}

void Server::CallEnded(const CallRecord& record) {
    log_.Write(record);
}

void Server::MessageAccepted(const SmsRecord& record) {
    smsLog_.Write(record);
}

void Server::Queue(Connection& c, const Bytes& body) {
    Bytes packet = Frame(body);
    c.out.insert(c.out.end(), packet.begin(), packet.end());
}

void Server::Flush(Connection& c) {
    while (!c.closed && c.outSent < c.out.size()) {
        ssize_t n = send(c.fd, c.out.data() + c.outSent, c.out.size() - c.outSent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        c.outSent += size_t(n);
    }
    if (c.outSent == c.out.size()) {
        c.out.clear();
        c.outSent = 0;
    }
}

void Server::Accept(size_t line) {
    int fd = accept4(listeners_[line], nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    Connection& c = connections_[nextId_++];
    c.fd = fd;
    c.line = line;
}

void Server::Drop(AppId id, Connection& c, const std::string& why) {
    if (c.closed) return;
    if (!why.empty()) {
        std::cerr << "capisim: Leitung " << options_.lines[c.line].name
                  << ": Verbindung geschlossen, " << why << std::endl;
    }
    c.closed = true;
    if (c.registered) exchange_.Release(id, Clock::now());
}

void Server::Read(AppId id, Connection& c) {
    uint8_t buffer[16384];
    ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) return Drop(id, c, "");
    c.reader.Append(buffer, size_t(n));
    Bytes body;
    while (!c.closed) {
        auto result = c.reader.Next(body);
        if (result == FrameReader::Result::kNeedMore) break;
        if (result == FrameReader::Result::kMalformed) return Drop(id, c, "Paketlänge ungültig");
        HandlePacket(id, c, body);
    }
}

void Server::HandlePacket(AppId id, Connection& c, const Bytes& body) {
    if (IsRemoteRequest(body)) return HandleRemote(id, c, body);
    if (!c.registered) return Drop(id, c, "Nachricht vor der Anmeldung");
    DecodeResult decoded = Decode(body);
    if (!decoded.message) return Drop(id, c, "fehlerhafte Nachricht: " + decoded.error);
    uint8_t sub = decoded.message->subcommand;
    if (sub != kReq && sub != kResp) {
        return Drop(id, c, CommandName(decoded.message->command, sub) + " von einer Anwendung");
    }
    exchange_.Handle(id, *decoded.message, Clock::now());
}

void Server::HandleRemote(AppId id, Connection& c, const Bytes& body) {
    auto request = ParseRemoteRequest(body);
    if (!request) return Drop(id, c, "unbekannte Anfrage");
    switch (request->op) {
        case RemoteOp::kRegister: {
            if (c.registered) return Drop(id, c, "zweite Anmeldung");
            bool small = request->reg.maxBDataLength < kMinBlockSize;
            Queue(c, RegisterReply(*request, small ? kRegisterTooSmallBlocks : 0));
            if (small) return;
            c.registered = true;
            exchange_.Register(id, c.line, request->reg);
            return;
        }
        case RemoteOp::kProfile:
            return Queue(c, ProfileReply(*request, 1));
        case RemoteOp::kManufacturer:
            return Queue(c, ManufacturerReply(*request, "Telvora capisim"));
        case RemoteOp::kVersion:
            return Queue(c, VersionReply(*request));
        case RemoteOp::kSerialNumber:
            return Queue(c, SerialNumberReply(*request, "0000001"));
    }
}

void Server::ReadControl(int fd) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        quit_ = true;
        return;
    }
    controlBuffer_.append(buffer, size_t(n));
    size_t end;
    while (!quit_ && (end = controlBuffer_.find('\n')) != std::string::npos) {
        std::string text = controlBuffer_.substr(0, end);
        controlBuffer_.erase(0, end + 1);
        std::string error;
        auto command = ParseControl(text, error);
        if (command) Execute(*command);
        if (!error.empty()) std::cerr << "capisim: " << error << std::endl;
    }
}

void Server::Execute(const ControlCommand& command) {
    switch (command.kind) {
        case ControlCommand::Kind::kQuit:
            quit_ = true;
            return;
        case ControlCommand::Kind::kCall:
            exchange_.PlaceTelephoneCall(command.call, Clock::now());
            return;
        case ControlCommand::Kind::kCut:
            if (!exchange_.CutLine(command.line, Clock::now())) {
                std::cerr << "capisim: keine Leitung namens \"" << command.line << "\""
                          << std::endl;
            }
            return;
    }
}

void Server::Reap() {
    for (auto it = connections_.begin(); it != connections_.end();) {
        Connection& c = it->second;
        if (!c.closed && c.out.size() - c.outSent > kMaxPending) {
            Drop(it->first, c, "die Anwendung liest nicht");
        }
        if (!c.closed) {
            ++it;
            continue;
        }
        close(c.fd);
        it = connections_.erase(it);
    }
}

int Server::TimeoutMs() const {
    auto next = exchange_.NextDeadline();
    if (!next) return -1;
    auto wait = std::chrono::duration_cast<std::chrono::microseconds>(*next - Clock::now());
    if (wait.count() <= 0) return 0;
    // Round up so that we never wake just before the deadline and spin.
    return int((wait.count() + 999) / 1000);
}

void Server::Run(int controlFd) {
    bool controlOpen = true;
    while (!quit_) {
        std::vector<pollfd> fds;
        fds.push_back({controlOpen ? controlFd : -1, POLLIN, 0});
        for (int fd : listeners_) fds.push_back({fd, POLLIN, 0});
        std::vector<AppId> ids;
        for (auto& [id, c] : connections_) {
            short events = POLLIN | (c.outSent < c.out.size() ? POLLOUT : 0);
            fds.push_back({c.fd, events, 0});
            ids.push_back(id);
        }
        if (poll(fds.data(), fds.size(), TimeoutMs()) < 0 && errno != EINTR) break;

        if (fds[0].revents) ReadControl(controlFd);
        for (size_t i = 0; i < listeners_.size(); ++i) {
            if (fds[1 + i].revents & POLLIN) Accept(i);
        }
        for (size_t i = 0; i < ids.size(); ++i) {
            short revents = fds[1 + listeners_.size() + i].revents;
            auto it = connections_.find(ids[i]);
            if (it == connections_.end() || !revents) continue;
            if (revents & (POLLIN | POLLHUP | POLLERR)) Read(ids[i], it->second);
        }
        exchange_.Advance(Clock::now());
        for (auto& [id, c] : connections_) Flush(c);
        Reap();
    }
    exchange_.Shutdown(Clock::now());
    FlushAllBeforeExit();
}

void Server::FlushAllBeforeExit() {
    auto deadline = Clock::now() + std::chrono::seconds(1);
    for (auto& [id, c] : connections_) {
        while (!c.closed && c.outSent < c.out.size() && Clock::now() < deadline) {
            pollfd p{c.fd, POLLOUT, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            size_t before = c.outSent;
            Flush(c);
            if (c.outSent == before && !c.out.empty()) break;
        }
    }
}

}  // namespace capisim
