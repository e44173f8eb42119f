// The TCP socket under relay's mail sender. Errors are the Windows socket
// error numbers that relay has always reported (10060 for a time-out, ...),
// as negative results. Every wait is bounded: the connect, the room to
// send and the next byte of a line each wait at most the wait limit.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

class CMailSocket {
public:
    static constexpr int kErrorInvalidArgument = 10022;
    static constexpr int kErrorNotConnected = 10057;
    static constexpr int kErrorTimedOut = 10060;
    static constexpr int kErrorHostNotFound = 11001;

    CMailSocket() = default;
    // Closes the socket if it is still open.
    virtual ~CMailSocket();
    CMailSocket(const CMailSocket&) = delete;
    CMailSocket& operator=(const CMailSocket&) = delete;

    // Shuts both directions down and closes.
    virtual void Close();
    // Receives without removing: the byte count, 0 when nothing is there
    // (or the peer closed), or minus the socket error.
    virtual long Peek(char* buffer, size_t size);
    // The same, taking the bytes.
    virtual long Receive(char* buffer, size_t size);
    // Sends all of data: its size, or minus the socket error.
    virtual long SendAll(const char* data, size_t size);
    // Receives up to and including the line end byte, or until size bytes
    // are there: the byte count, 0 when the peer closed the connection, or
    // minus the socket error (10060 when the wait limit ran out).
    virtual long ReadLine(char* buffer, size_t size);
    // Wait for the socket to be readable or in error, readable, writable,
    // in error; a negative seconds waits without limit. The number of ready
    // sockets: 0 on a time-out or when not connected.
    virtual int WaitAny(long seconds, long microseconds);
    virtual int WaitReadable(long seconds, long microseconds);
    virtual int WaitWritable(long seconds, long microseconds);
    virtual int WaitError(long seconds, long microseconds);

    // Connects to host (a dotted IPv4 address when it begins with a digit,
    // else a name) and port (a number, or a TCP service name): the socket,
    // or minus the socket error.
    int ConnectSocket(const char* host, const char* port);
    bool IsConnected() const { return m_connected != 0; }
    void SetWaitLimit(std::chrono::milliseconds limit) { m_waitLimit = limit; }
    std::chrono::milliseconds WaitLimit() const { return m_waitLimit; }

protected:
    int Wait(short events, long seconds, long microseconds);
    long ReceiveWith(char* buffer, size_t size, int flags);

    int m_nonBlocking = 0;
    int m_connected = 0;
    int m_socket = -1;
    char m_lineEnd = '\n';
    std::string m_host;
    std::string m_port;
    std::chrono::milliseconds m_waitLimit{29000};
};

// The Windows socket error that an error number of this system stands for.
int WinSockError(int error);
