// A mail server as velo's SMTP client meets it on the loopback interface:
// greeting, HELO or EHLO with its extensions, AUTH, one message and QUIT,
// each answered with what the input says.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "fuzz_support.h"
#include "mail_message.h"
#include "smtp_connection.h"

namespace {

// The server's socket, listening on a port of its own for the whole run.
class Listener {
public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), size) != 0 ||
            listen(fd_, 4) != 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            std::abort();
        port_ = ntohs(a.sin_port);
    }
    int Fd() const { return fd_; }
    int Port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

const Listener listener;

// Says everything at once, then reads what the client sends until it is gone.
void Serve(std::string_view replies) {
    int c = accept(listener.Fd(), nullptr, nullptr);
    if (c < 0) return;
    for (std::size_t sent = 0; sent < replies.size();) {
        ssize_t n = send(c, replies.data() + sent, replies.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    shutdown(c, SHUT_WR);
    char sink[4096];
    while (recv(c, sink, sizeof sink, 0) > 0) {
    }
    close(c);
}

// One server thread for the whole run: a thread for each input would cost
// more than the input.
class Server {
public:
    Server() : thread_([this] { Run(); }) { thread_.detach(); }
    void Start(std::string_view replies) {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_ = replies;
        pending_ = true;
        changed_.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !pending_; });
    }

private:
    void Run() {
        for (;;) {
            std::string_view replies;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return pending_; });
                replies = replies_;
            }
            Serve(replies);
            std::lock_guard<std::mutex> lock(mutex_);
            pending_ = false;
            changed_.notify_all();
        }
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string_view replies_;
    bool pending_ = false;
    std::thread thread_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;
    fuzz::Input in(data, size);
    bool logOn = in.Byte() & 1;
    std::string_view replies = in.Rest();
    static Server* server = new Server;
    server->Start(replies);
    {
        CSMTPConnection smtp;
        if (logOn) smtp.SetOptions({SmtpSecurity::kNone, "anna", "geheim", ""});
        smtp.SetHeloHostName("station.example.de");
        smtp.SetReplyTimeout(200);
        smtp.SetConnectTimeout(1000);
        if (smtp.Connect("127.0.0.1", listener.Port(), "")) {
            CMailMessage message;
            message.from = CMailAddress("anna@example.de");
            message.subject = "Grüße";
            message.AddRecipientsFromText("Bernd <b@example.de>, c@example.de", CMailMessage::kTo);
            message.AddTextBody("Hallo\n.\nBis bald");
            smtp.SendMessage(message);
        }
        smtp.ErrorText();
        smtp.LastReplyText();
        smtp.Disconnect();
    }
    server->Wait();
    return 0;
}
