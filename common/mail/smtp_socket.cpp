#include "smtp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "format.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int PollTimeout(milliseconds timeout) {
    return static_cast<int>(std::max<long long>(0, timeout.count()));
}

milliseconds Remaining(Clock::time_point deadline) {
    return std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
}

// The Windows socket error that a connect error of this system stands for.
int ConnectErrorCode(int error) {
    switch (error) {
        case ECONNREFUSED:
            return SmtpSocket::kErrorConnectionRefused;
        case ETIMEDOUT:
            return SmtpSocket::kErrorTimedOut;
        case EHOSTUNREACH:
            return SmtpSocket::kErrorHostUnreachable;
        case ENETUNREACH:
            return SmtpSocket::kErrorNetworkUnreachable;
        default:
            return error;
    }
}

std::string ConnectErrorText(const std::string& host, int port, int error) {
    switch (error) {
        case ECONNREFUSED:
            return FormatText("Der Server '%s' nimmt auf Port %d keine Verbindung an.",
                              host.c_str(), port);
        case ETIMEDOUT:
            return FormatText(
                "Der Server '%s' antwortet nicht (Zeitüberschreitung beim "
                "Verbindungsaufbau).",
                host.c_str());
        case EHOSTUNREACH:
        case ENETUNREACH:
            return FormatText("Der Server '%s' ist nicht erreichbar.", host.c_str());
        default:
            return FormatText("Verbindung zum Server '%s' nicht möglich: %s", host.c_str(),
                              std::strerror(error));
    }
}

struct AddrInfoFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoFree>;

AddrInfoList Resolve(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) return nullptr;
    return AddrInfoList(list);
}

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE on a
// connection the server has closed; this one sends with MSG_NOSIGNAL.
int NoSignalWrite(BIO* bio, const char* data, int length) {
    int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
    BIO_clear_retry_flags(bio);
    ssize_t n = send(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        BIO_set_retry_write(bio);
    }
    return static_cast<int>(n);
}

int NoSignalRead(BIO* bio, char* data, int length) {
    int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
    BIO_clear_retry_flags(bio);
    ssize_t n = recv(fd, data, static_cast<size_t>(length), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        BIO_set_retry_read(bio);
    }
    return static_cast<int>(n);
}

long NoSignalControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int NoSignalCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* NoSignalSocketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "SMTP socket without SIGPIPE");
        BIO_meth_set_write(m, NoSignalWrite);
        BIO_meth_set_read(m, NoSignalRead);
        BIO_meth_set_ctrl(m, NoSignalControl);
        BIO_meth_set_create(m, NoSignalCreate);
        return m;
    }();
    return method;
}

std::string OpenSslErrorText() {
    unsigned long error = ERR_get_error();
    ERR_clear_error();
    if (error == 0) return "Verbindung unterbrochen";
    char text[256];
    ERR_error_string_n(error, text, sizeof text);
    return text;
}

bool IsIpAddress(const std::string& host) {
    in_addr v4;
    in6_addr v6;
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 ||
           inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

}  // namespace

bool SmtpSocket::WaitFor(short events, milliseconds timeout) {
    pollfd p{fd_, events, 0};
    for (auto deadline = Clock::now() + timeout;;) {
        int n = poll(&p, 1, PollTimeout(Remaining(deadline)));
        if (n > 0) return true;
        if (n == 0 || errno != EINTR) return false;
    }
}

bool SmtpSocket::Connect(const std::string& host, int port, const std::string& bindAddress,
                         milliseconds timeout, SocketFailure& failure) {
    Close();
    AddrInfoList addresses = Resolve(host, port);
    if (!addresses) {
        failure = {kErrorInvalidArgument,
                   FormatText("Der Servername '%s' ist unbekannt.", host.c_str())};
        return false;
    }
    AddrInfoList local;
    if (!bindAddress.empty() && !(local = Resolve(bindAddress, 0))) {
        failure = {kErrorInvalidArgument,
                   FormatText("Die lokale Adresse '%s' ist unbekannt.", bindAddress.c_str())};
        return false;
    }
    int error = ETIMEDOUT;
    for (addrinfo* a = addresses.get(); a; a = a->ai_next) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd_ < 0) {
            error = errno;
            break;
        }
        if (local && bind(fd_, local->ai_addr, local->ai_addrlen) != 0) {
            error = errno;
            Close();
            continue;
        }
        if (connect(fd_, a->ai_addr, a->ai_addrlen) == 0) return true;
        error = errno;
        if (error == EINPROGRESS) {
            error = ETIMEDOUT;
            if (WaitFor(POLLOUT, timeout)) {
                socklen_t size = sizeof error;
                getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size);
                if (error == 0) return true;
            }
        }
        Close();
    }
    failure = {ConnectErrorCode(error), ConnectErrorText(host, port, error)};
    return false;
}

bool SmtpSocket::StartTls(const std::string& host, const std::string& caFile, milliseconds timeout,
                          SocketFailure& failure) {
    context_ = SSL_CTX_new(TLS_client_method());
    if (!context_) {
        failure = {kErrorTls, "TLS steht nicht zur Verfügung: " + OpenSslErrorText()};
        return false;
    }
    SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
    SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(context_);
    if (!caFile.empty() && SSL_CTX_load_verify_locations(context_, caFile.c_str(), nullptr) != 1) {
        ERR_clear_error();
        failure = {kErrorTls, FormatText("Die Zertifikatsdatei '%s' kann nicht gelesen werden.",
                                         caFile.c_str())};
        return false;
    }
    ssl_ = SSL_new(context_);
    BIO* bio = BIO_new(NoSignalSocketMethod());
    if (!ssl_ || !bio) {
        BIO_free(bio);
        failure = {kErrorTls, "TLS steht nicht zur Verfügung: " + OpenSslErrorText()};
        return false;
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd_)));
    SSL_set_bio(ssl_, bio, bio);
    // The name the user gave is what the certificate must be made out to.
    if (IsIpAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl_, host.c_str());
        SSL_set1_host(ssl_, host.c_str());
    }
    for (auto deadline = Clock::now() + timeout;;) {
        int result = SSL_connect(ssl_);
        if (result == 1) return true;
        int error = SSL_get_error(ssl_, result);
        bool waited = false;
        if (error == SSL_ERROR_WANT_READ) waited = WaitFor(POLLIN, Remaining(deadline));
        if (error == SSL_ERROR_WANT_WRITE) waited = WaitFor(POLLOUT, Remaining(deadline));
        if (waited) continue;
        long verify = SSL_get_verify_result(ssl_);
        if (verify != X509_V_OK) {
            ERR_clear_error();
            failure = {kErrorTls,
                       FormatText("Das Zertifikat des Servers '%s' ist nicht vertrauenswürdig: %s",
                                  host.c_str(), X509_verify_cert_error_string(verify))};
        } else if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            failure = {kErrorTimedOut,
                       FormatText("Der Server '%s' hat die verschlüsselte Verbindung nicht "
                                  "rechtzeitig aufgebaut.",
                                  host.c_str())};
        } else {
            failure = {kErrorTls, FormatText("Die verschlüsselte Verbindung zum Server '%s' ist "
                                             "gescheitert: %s",
                                             host.c_str(), OpenSslErrorText().c_str())};
        }
        return false;
    }
}

bool SmtpSocket::SendAll(std::string_view data, milliseconds timeout, SocketFailure& failure) {
    while (!data.empty()) {
        // What to wait for before trying again; 0 when the write failed.
        short waitFor = 0;
        if (ssl_) {
            int chunk = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 20));
            int n = SSL_write(ssl_, data.data(), chunk);
            if (n > 0) {
                data.remove_prefix(static_cast<std::size_t>(n));
                continue;
            }
            int error = SSL_get_error(ssl_, n);
            ERR_clear_error();
            if (error == SSL_ERROR_WANT_READ) waitFor = POLLIN;
            if (error == SSL_ERROR_WANT_WRITE) waitFor = POLLOUT;
        } else {
            ssize_t n = send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
            if (n > 0) {
                data.remove_prefix(static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) waitFor = POLLOUT;
        }
        if (!waitFor) {
            failure = {kErrorConnectionReset, "Der Server hat die Verbindung unerwartet beendet."};
            return false;
        }
        if (!WaitFor(waitFor, timeout)) {
            failure = {kErrorTimedOut, "Der Server nimmt keine Daten an (Zeitüberschreitung)."};
            return false;
        }
    }
    return true;
}

SmtpSocket::WaitResult SmtpSocket::WaitReadable(milliseconds timeout) {
    if (fd_ < 0) return WaitResult::kFailed;
    if (ssl_ && SSL_pending(ssl_) > 0) return WaitResult::kReadable;
    pollfd p{fd_, POLLIN, 0};
    int n = poll(&p, 1, PollTimeout(timeout));
    if (n > 0) return WaitResult::kReadable;
    if (n == 0 || errno == EINTR) return WaitResult::kTimedOut;
    return WaitResult::kFailed;
}

long SmtpSocket::Receive(char* buffer, std::size_t size) {
    if (ssl_) {
        int n = SSL_read(ssl_, buffer, static_cast<int>(size));
        if (n > 0) return n;
        int error = SSL_get_error(ssl_, n);
        ERR_clear_error();
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) return kNothingYet;
        return error == SSL_ERROR_ZERO_RETURN ? 0 : -1;
    }
    ssize_t n = recv(fd_, buffer, size, 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return kNothingYet;
    return n;
}

void SmtpSocket::Close() {
    if (ssl_) {
        SSL_shutdown(ssl_);
        SSL_free(ssl_);
        ssl_ = nullptr;
        ERR_clear_error();
    }
    if (context_) {
        SSL_CTX_free(context_);
        context_ = nullptr;
    }
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}
