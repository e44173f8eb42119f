// A mail server that a unit test plays: it listens on 127.0.0.1, takes one
// connection after the other, answers every command with the reply
// scripted for it and keeps every byte it received.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

class ScriptedSmtpPeer {
public:
    // Replies that stand for no answer at all, and for closing the connection.
    static constexpr const char* kSilent = "";
    static constexpr const char* kClose = "<close>";

    // Replies by command ("GREETING", "HELO", "MAIL", "RCPT", "DATA", "END"
    // for the end of the message, "QUIT"), each a list used in turn, the
    // last one again and again. A reply holds its lines with their CR LF.
    ScriptedSmtpPeer(
        std::initializer_list<std::pair<const std::string, std::deque<std::string>>> script = {})
        : script_(script) {
        for (const auto& [command, reply] : kDefaults)
            script_.try_emplace(command, std::deque{reply});
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(listen_, reinterpret_cast<sockaddr*>(&address), size);
        listen(listen_, 1);
        getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedSmtpPeer() {
        stop_ = true;
        thread_.join();
        close(listen_);
    }

    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }

    // Everything received, once the client has closed that many
    // connections or the time is up.
    std::string Received(int connections = 1,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        ended_.wait_for(lock, timeout, [&] { return closed_ >= connections; });
        return received_;
    }

private:
    static inline const std::map<std::string, std::string> kDefaults = {
        {"GREETING", "220 test ready\r\n"},
        {"HELO", "250 hello\r\n"},
        {"MAIL", "250 ok\r\n"},
        {"RCPT", "250 ok\r\n"},
        {"DATA", "354 go on\r\n"},
        {"END", "250 accepted\r\n"},
        {"QUIT", "221 bye\r\n"}};

    bool WaitReadable(int fd) {
        pollfd p{fd, POLLIN, 0};
        while (!stop_) {
            if (poll(&p, 1, 20) > 0) return true;
        }
        return false;
    }
    // The next reply to command; false when the connection is to be closed.
    bool Answer(int fd, const std::string& command, std::string& reply) {
        std::deque<std::string>& replies = script_[command];
        reply = replies.front();
        if (replies.size() > 1) replies.pop_front();
        if (reply == kClose) return false;
        send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        return true;
    }
    void Serve() {
        while (WaitReadable(listen_)) {
            int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            Converse(fd);
            std::lock_guard lock(mutex_);
            ++closed_;
            ended_.notify_all();
        }
    }
    void Converse(int fd) {
        std::string line, reply;
        bool open = Answer(fd, "GREETING", reply), inData = false;
        char c;
        while (open && WaitReadable(fd) && recv(fd, &c, 1, 0) == 1) {
            {
                std::lock_guard lock(mutex_);
                received_ += c;
            }
            line += c;
            if (c != '\n') continue;
            if (inData) {
                if (line == ".\r\n") {
                    inData = false;
                    open = Answer(fd, "END", reply);
                }
            } else {
                std::string command = line.substr(0, line.find_first_of(" \r\n"));
                open = Answer(fd, command, reply);
                inData = command == "DATA" && reply.find("354 ") != std::string::npos;
            }
            line.clear();
        }
        close(fd);
    }

    std::map<std::string, std::deque<std::string>> script_;
    int listen_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable ended_;
    int closed_ = 0;
    std::string received_;
};
