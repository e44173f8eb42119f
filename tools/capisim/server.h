// The event loop: one thread, poll() over the lines' listening sockets, the
// applications' connections and standard input, with the exchange's next
// deadline as the poll time-out. A connection that sends something malformed
// is closed; nothing else notices except its calls' other ends.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "call_log.h"
#include "control.h"
#include "exchange.h"
#include "options.h"
#include "sms_log.h"
#include "wire.h"

namespace capisim {

class Server : public ExchangeOutput {
public:
    Server(const Options& options, CallLog& log, SmsLog& smsLog);
    ~Server() override;

    // Binds every line's port on 127.0.0.1; false with error when one fails.
    bool Listen(std::string& error);
    // "line NAME PORT NUMBER[,NUMBER...]" per line, then "ready".
    std::string ReadyText() const;
    // Runs until quit or the end of standard input.
    void Run(int controlFd);

    void Send(AppId app, const Message& m) override;
    void CallEnded(const CallRecord& record) override;
    void MessageAccepted(const SmsRecord& record) override;

private:
    struct Connection {
        int fd = -1;
        size_t line = 0;
        FrameReader reader;
        Bytes out;
        size_t outSent = 0;
        bool registered = false;
        bool closed = false;
    };

    void Accept(size_t line);
    void Read(AppId id, Connection& c);
    void HandlePacket(AppId id, Connection& c, const Bytes& body);
    void HandleRemote(AppId id, Connection& c, const Bytes& body);
    void Drop(AppId id, Connection& c, const std::string& why);
    void Queue(Connection& c, const Bytes& body);
    void Flush(Connection& c);
    void ReadControl(int fd);
    void Execute(const ControlCommand& command);
    void Reap();
    void FlushAllBeforeExit();
    int TimeoutMs() const;

    Options options_;
    CallLog& log_;
    SmsLog& smsLog_;
    Exchange exchange_;
    std::vector<int> listeners_;
    std::vector<uint16_t> ports_;
    std::map<AppId, Connection> connections_;
    AppId nextId_ = 1;
    std::string controlBuffer_;
    bool quit_ = false;
};

}  // namespace capisim
