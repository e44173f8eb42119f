#include "capi_station.h"

#include <capi20.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace capitest {
namespace {

using Clock = std::chrono::steady_clock;

// Between test and station every record is a type byte, a 32-bit length and
// that many bytes.
enum Record : uint8_t {
    kPut = 'P',
    kQuit = 'Q',
    kRegistered = 'R',
    kPutResult = 'p',
    kMessage = 'M',
    kData = 'D',
    kConnectionError = 'E'
};

bool WriteAll(int fd, const void* data, size_t size) {
    auto p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t size) {
    auto p = static_cast<uint8_t*>(data);
    while (size > 0) {
        ssize_t n = read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool SendRecord(int fd, uint8_t type, const Bytes& payload) {
    uint32_t size = uint32_t(payload.size());
    return WriteAll(fd, &type, 1) && WriteAll(fd, &size, 4) &&
           WriteAll(fd, payload.data(), payload.size());
}

bool ReadRecord(int fd, uint8_t& type, Bytes& payload) {
    uint32_t size = 0;
    if (!ReadAll(fd, &type, 1) || !ReadAll(fd, &size, 4)) return false;
    payload.resize(size);
    return ReadAll(fd, payload.data(), size);
}

Bytes Word32(unsigned v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

unsigned FromWord32(const Bytes& b) {
    return b.size() < 4 ? 0 : unsigned(b[0] | b[1] << 8 | b[2] << 16 | unsigned(b[3]) << 24);
}

// In the station process: puts one message. A DATA_B3_REQ carries its data
// behind the message in the buffer (which the 22-byte form sends as it is)
// and, in the 30-byte form, also at the address in Data64.
unsigned PutMessage(unsigned applId, Bytes& payload) {
    size_t length = payload.size() >= 2 ? size_t(payload[0] | payload[1] << 8) : 0;
    if (length < 8 || length > payload.size()) return 0xFFFF;
    payload[2] = uint8_t(applId);
    payload[3] = uint8_t(applId >> 8);
    Bytes data(payload.begin() + length, payload.end());
    Bytes buffer = payload;
    buffer.resize(length + data.size() + 64);
    if (payload[4] == DATA_B3 && payload[5] == REQ && length >= 30) {
        uint64_t address = reinterpret_cast<uintptr_t>(data.data());
        memcpy(buffer.data() + 22, &address, 8);
    }
    return capi20_put_message(applId, buffer.data());
}

void ForwardMessage(int fd, const uint8_t* m) {
    size_t length = m[0] | m[1] << 8;
    SendRecord(fd, kMessage, Bytes(m, m + length));
    if (m[4] != DATA_B3 || m[5] != IND) return;
    size_t dataLength = m[16] | m[17] << 8;
    uint64_t address = 0;
    if (length >= 30) memcpy(&address, m + 22, 8);
    if (!address) {
        uint32_t address32 = 0;
        memcpy(&address32, m + 12, 4);
        address = address32;
    }
    const uint8_t* data = reinterpret_cast<const uint8_t*>(uintptr_t(address));
    SendRecord(fd, kData, data ? Bytes(data, data + dataLength) : Bytes{});
}

// The station must not keep the test's other descriptors open: holding the
// write end of capisim's standard input would keep capisim from ever seeing
// its end.
void CloseInheritedDescriptors(int keep1, int keep2) {
    long limit = sysconf(_SC_OPEN_MAX);
    for (int fd = 3; fd < (limit > 0 ? limit : 1024); ++fd) {
        if (fd != keep1 && fd != keep2) close(fd);
    }
}

[[noreturn]] void RunStation(const std::string& home, StationOptions options, int in, int out) {
    CloseInheritedDescriptors(in, out);
    setenv("HOME", home.c_str(), 1);
    unsigned applId = 0;
    unsigned result = capi20_register(options.maxLogicalConnections, options.maxB3Blocks,
                                      options.maxB3Length, &applId);
    SendRecord(out, kRegistered, Word32(result));
    if (result != 0) _exit(0);
    int capiFd = capi20_fileno(applId);
    bool capiOpen = true;
    while (true) {
        pollfd fds[2] = {{in, POLLIN, 0}, {capiOpen ? capiFd : -1, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) {
            unsigned char* m = nullptr;
            unsigned rc = capi20_get_message(applId, &m);
            if (rc == 0 && m) {
                ForwardMessage(out, m);
            } else if (rc != 0x1104) {  // 0x1104: queue empty
                SendRecord(out, kConnectionError, Word32(rc));
                capiOpen = false;
            }
        }
        if (!fds[0].revents) continue;
        uint8_t type = 0;
        Bytes payload;
        if (!ReadRecord(in, type, payload) || type == kQuit) break;
        SendRecord(out, kPutResult, Word32(PutMessage(applId, payload)));
    }
    capi20_release(applId);
    _exit(0);
}

}  // namespace

Station::Station(const std::string& home, StationOptions options) {
    int down[2], up[2];
    if (pipe2(down, O_CLOEXEC) != 0 || pipe2(up, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(down[1]);
        close(up[0]);
        RunStation(home, options, down[0], up[1]);
    }
    close(down[0]);
    close(up[1]);
    toChild_ = down[1];
    fromChild_ = up[0];
    if (pid_ < 0) return;
    auto deadline = Clock::now() + 10s;
    while (!registerResult_ && Clock::now() < deadline) {
        if (!ReadEvent(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()))) {
            break;
        }
    }
}

Station::~Station() {
    Release();
}

void Station::Release() {
    if (pid_ <= 0) return;
    SendRecord(toChild_, kQuit, {});
    auto deadline = Clock::now() + 5s;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    pid_ = -1;
    close(toChild_);
    close(fromChild_);
}

bool Station::ReadEvent(std::chrono::milliseconds timeout) {
    pollfd p{fromChild_, POLLIN, 0};
    if (poll(&p, 1, int(std::max<long>(timeout.count(), 0))) <= 0) return false;
    uint8_t type = 0;
    Bytes payload;
    if (!ReadRecord(fromChild_, type, payload)) return false;
    switch (type) {
        case kRegistered:
            registerResult_ = FromWord32(payload);
            break;
        case kPutResult:
            putResult_ = FromWord32(payload);
            break;
        case kConnectionError:
            connectionError_ = FromWord32(payload);
            break;
        case kMessage:
            inbox_.push_back({payload, {}});
            break;
        case kData:
            if (!inbox_.empty()) inbox_.back().data = payload;
            break;
    }
    return true;
}

unsigned Station::Put(const Bytes& message, const Bytes& data) {
    if (pid_ <= 0) return 0xFFFF;
    Bytes payload = message;
    payload.insert(payload.end(), data.begin(), data.end());
    putResult_.reset();
    if (!SendRecord(toChild_, kPut, payload)) return 0xFFFF;
    auto deadline = Clock::now() + 5s;
    while (!putResult_ && Clock::now() < deadline) {
        ReadEvent(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
    }
    return putResult_.value_or(0xFFFF);
}

std::optional<Received> Station::Next(std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (true) {
        // A DATA_B3_IND is complete once its data record has come too.
        bool complete =
            !inbox_.empty() && (inbox_.size() > 1 || inbox_[0].Command() != DATA_B3 ||
                                inbox_[0].Subcommand() != IND || !inbox_[0].data.empty());
        if (complete) {
            Received r = inbox_.front();
            inbox_.erase(inbox_.begin());
            return r;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (pid_ <= 0) return std::nullopt;
        // Even with no time left, take what the station has already sent.
        bool read = ReadEvent(std::max(left, std::chrono::milliseconds(0)));
        if (!read && left.count() <= 0) return std::nullopt;
    }
}

std::optional<Received> Station::WaitFor(uint8_t command, uint8_t subcommand,
                                         std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        auto r = Next(std::max(left, std::chrono::milliseconds(0)));
        if (!r) return std::nullopt;
        if (r->Command() == command && r->Subcommand() == subcommand) return r;
        skipped_.push_back(*r);
    }
}

bool Station::Quiet(std::chrono::milliseconds time) {
    return !Next(time).has_value();
}

}  // namespace capitest
