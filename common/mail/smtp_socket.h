// One TCP connection to a mail server, plain or inside TLS. Every wait has a
// deadline: connecting, sending, the TLS handshake and waiting for data. The
// socket is non-blocking underneath and writes never raise SIGPIPE.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

// What went wrong, as the Windows socket error numbers that callers keep as
// their last error, and a German text for the user.
struct SocketFailure {
    int code = 0;
    std::string text;
};

class SmtpSocket {
public:
    // Windows socket error numbers, kept on this platform.
    static constexpr int kErrorInvalidArgument = 10022;  // host name unknown
    static constexpr int kErrorMessageSize = 10040;
    static constexpr int kErrorNetworkUnreachable = 10051;
    static constexpr int kErrorConnectionReset = 10054;
    static constexpr int kErrorTimedOut = 10060;
    static constexpr int kErrorConnectionRefused = 10061;
    static constexpr int kErrorHostUnreachable = 10065;
    // Not a socket error: the TLS handshake failed or the certificate was refused.
    static constexpr int kErrorTls = 10100;

    SmtpSocket() = default;
    ~SmtpSocket() { Close(); }
    SmtpSocket(const SmtpSocket&) = delete;
    SmtpSocket& operator=(const SmtpSocket&) = delete;

    // Resolves host (IPv4, a dotted address or a name) and connects to port
    // within timeout, trying each address of the name in turn. A bind
    // address that is not empty is bound first, port 0.
    bool Connect(const std::string& host, int port, const std::string& bindAddress,
                 std::chrono::milliseconds timeout, SocketFailure& failure);

    // Runs the TLS handshake on the connected socket and verifies the
    // server's certificate against the system's trusted authorities, plus
    // those of caFile when it is not empty, and against host.
    bool StartTls(const std::string& host, const std::string& caFile,
                  std::chrono::milliseconds timeout, SocketFailure& failure);
    bool IsTls() const { return ssl_ != nullptr; }

    // Sends all of data, waiting for room up to timeout without progress.
    bool SendAll(std::string_view data, std::chrono::milliseconds timeout, SocketFailure& failure);

    enum class WaitResult { kReadable, kTimedOut, kFailed };
    // Waits until data can be read (also data TLS already holds).
    WaitResult WaitReadable(std::chrono::milliseconds timeout);

    // One read: the count of bytes, 0 when the server closed the
    // connection, -1 on an error, kNothingYet when there was nothing to
    // take after all (a TLS record not complete yet).
    static constexpr long kNothingYet = -2;
    long Receive(char* buffer, std::size_t size);

    bool IsOpen() const { return fd_ >= 0; }
    void Close();

private:
    bool WaitFor(short events, std::chrono::milliseconds timeout);

    int fd_ = -1;
    SSL_CTX* context_ = nullptr;
    SSL* ssl_ = nullptr;
};
