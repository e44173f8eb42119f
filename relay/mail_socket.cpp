#include "mail_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kLingerSeconds = 5;

int PollMilliseconds(long seconds, long microseconds) {
    if (seconds < 0) return -1;
    long long ms = seconds * 1000LL + microseconds / 1000;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

long Microseconds(milliseconds limit) {
    return static_cast<long>(limit.count()) * 1000;
}

int PollMilliseconds(milliseconds limit) {
    return limit.count() < 0 ? 0 : limit.count() > INT_MAX ? INT_MAX : int(limit.count());
}

// The port of a text: a number, or the name of a TCP service. 0 when none.
int PortOf(const char* text) {
    servent entry, *found = nullptr;
    char buf[1024];
    if (getservbyname_r(text, "tcp", &entry, buf, sizeof buf, &found) == 0 && found) {
        return ntohs(static_cast<uint16_t>(found->s_port));
    }
    if (!std::isdigit(static_cast<unsigned char>(text[0]))) return 0;
    long port = std::strtol(text, nullptr, 10);
    return port > 0 && port <= 65535 ? static_cast<int>(port) : 0;
}

// 0, or the socket error why host has no address.
int AddressOf(const char* host, in_addr& address) {
    if (std::isdigit(static_cast<unsigned char>(host[0]))) {
        return inet_aton(host, &address) ? 0 : CMailSocket::kErrorInvalidArgument;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) != 0 || !list) {
        return CMailSocket::kErrorHostNotFound;
    }
    address = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr;
    freeaddrinfo(list);
    return 0;
}

void SetOptions(int fd) {
    linger lingerOption{1, kLingerSeconds};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &lingerOption, sizeof lingerOption);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void SetBlocking(int fd, bool blocking) {
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}

// 0, or the error number why the connect failed or did not finish in time.
int ConnectWithin(int fd, const sockaddr_in& to, milliseconds limit) {
    SetBlocking(fd, false);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 0;
    if (errno != EINPROGRESS) return errno;
    pollfd p{fd, POLLOUT, 0};
    auto deadline = Clock::now() + limit;
    for (;;) {
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        int n = poll(&p, 1, PollMilliseconds(left));
        if (n > 0) break;
        if (n == 0) return ETIMEDOUT;
        if (errno != EINTR) return errno;
    }
    int error = 0;
    socklen_t size = sizeof error;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
    return error;
}

}  // namespace

int WinSockError(int error) {
    switch (error) {
        case EINTR:
            return 10004;
        case EBADF:
            return 10009;
        case EACCES:
            return 10013;
        case EINVAL:
            return 10022;
        case EMFILE:
            return 10024;
        case EAGAIN:
            return 10035;
        case EINPROGRESS:
            return 10036;
        case ENOTSOCK:
            return 10038;
        case EMSGSIZE:
            return 10040;
        case EADDRINUSE:
            return 10048;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
            return 10053;
        case ECONNRESET:
            return 10054;
        case ENOBUFS:
            return 10055;
        case ENOTCONN:
            return 10057;
        case EPIPE:
            return 10058;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        case EHOSTDOWN:
            return 10064;
        case EHOSTUNREACH:
            return 10065;
        default:
            return error;
    }
}

CMailSocket::~CMailSocket() {
    CMailSocket::Close();
}

void CMailSocket::Close() {
    if (m_socket >= 0) {
        shutdown(m_socket, SHUT_RDWR);
        close(m_socket);
    }
    m_socket = -1;
    m_connected = 0;
}

int CMailSocket::ConnectSocket(const char* host, const char* port) {
    Close();
    int portNumber = PortOf(port);
    if (portNumber == 0) return -kErrorInvalidArgument;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(portNumber));
    if (int error = AddressOf(host, to.sin_addr)) return -error;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -WinSockError(errno);
    SetOptions(fd);
    if (int error = ConnectWithin(fd, to, m_waitLimit)) {
        close(fd);
        return -WinSockError(error);
    }
    SetBlocking(fd, (m_nonBlocking & 1) == 0);
    m_socket = fd;
    m_host = host;
    m_port = port;
    m_connected = 1;
    return fd;
}

long CMailSocket::Peek(char* buffer, size_t size) {
    return ReceiveWith(buffer, size, MSG_PEEK);
}

long CMailSocket::Receive(char* buffer, size_t size) {
    return ReceiveWith(buffer, size, 0);
}

long CMailSocket::ReceiveWith(char* buffer, size_t size, int flags) {
    if (m_socket < 0) return -kErrorNotConnected;
    for (;;) {
        ssize_t n = recv(m_socket, buffer, size, flags | MSG_DONTWAIT);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -WinSockError(errno);
    }
}

long CMailSocket::SendAll(const char* data, size_t size) {
    if (m_socket < 0) return -kErrorNotConnected;
    size_t sent = 0;
    while (sent < size) {
        // No SIGPIPE: a server that closed the connection is an error here.
        ssize_t n = send(m_socket, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            sent += static_cast<size_t>(n);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (WaitWritable(0, Microseconds(m_waitLimit)) == 0) return -kErrorTimedOut;
        } else if (errno != EINTR) {
            return -WinSockError(errno);
        }
    }
    return static_cast<long>(sent);
}

long CMailSocket::ReadLine(char* buffer, size_t size) {
    if (m_socket < 0) return -kErrorNotConnected;
    auto deadline = Clock::now() + m_waitLimit;
    size_t count = 0;
    while (count < size) {
        ssize_t n = recv(m_socket, buffer + count, 1, MSG_DONTWAIT);
        if (n == 0) return 0;
        if (n > 0) {
            if (buffer[count++] == m_lineEnd) break;
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -WinSockError(errno);
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || WaitReadable(0, Microseconds(left)) == 0) return -kErrorTimedOut;
    }
    return static_cast<long>(count);
}

int CMailSocket::Wait(short events, long seconds, long microseconds) {
    if (!m_connected || m_socket < 0) return 0;
    pollfd p{m_socket, events, 0};
    int timeout = PollMilliseconds(seconds, microseconds);
    auto deadline = Clock::now() + milliseconds(timeout);
    for (;;) {
        int n = poll(&p, 1, timeout);
        if (n >= 0) return n > 0 && (p.revents & (events | POLLERR | POLLHUP)) ? 1 : 0;
        if (errno != EINTR) return 0;
        if (timeout >= 0) {
            timeout =
                PollMilliseconds(std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
        }
    }
}

int CMailSocket::WaitAny(long seconds, long microseconds) {
    return Wait(POLLIN | POLLPRI, seconds, microseconds);
}

int CMailSocket::WaitReadable(long seconds, long microseconds) {
    return Wait(POLLIN, seconds, microseconds);
}

int CMailSocket::WaitWritable(long seconds, long microseconds) {
    return Wait(POLLOUT, seconds, microseconds);
}

int CMailSocket::WaitError(long seconds, long microseconds) {
    return Wait(POLLPRI, seconds, microseconds);
}
