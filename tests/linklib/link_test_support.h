// Processes, the simulated exchange and a recording relay for the link
// library's multi-process tests.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "capisim_process.h"
#include "child_process.h"

using namespace std::chrono_literals;

using capitest::ChildProcess;

// capisim with the given lines ("NAME:0:NUMBERS") and extra options, and
// its call log in workDir.
class Exchange {
public:
    Exchange(const std::string& workDir, const std::vector<std::string>& lines,
             const std::vector<std::string>& extra = {});
    int Port(const std::string& line) const { return process_.Port(line); }
    bool Ready() const { return ready_; }
    // The call log's entries, waiting until at least count are there.
    std::vector<capitest::LogEntry> CallLog(std::size_t count,
                                            std::chrono::milliseconds timeout) const {
        return capitest::WaitForCallLog(callLog_, count, timeout);
    }

private:
    capitest::CapisimProcess process_;
    std::string callLog_;
    bool ready_ = false;
};

// One CAPI message as it passed the relay.
struct WireMessage {
    std::uint64_t sequence;
    bool fromApplication;
    std::vector<std::uint8_t> body;
    std::uint8_t Command() const { return body.size() > 5 ? body[4] : 0; }
    std::uint8_t Subcommand() const { return body.size() > 5 ? body[5] : 0; }
    std::uint16_t Number() const;
    std::uint16_t Length() const;
    std::uint32_t Dword(std::size_t at) const;
    std::uint16_t Word(std::size_t at) const;
};

// Sits between libcapi20 and capisim on one line and keeps every packet, so a
// test sees exactly what the exchange received and sent.
class WireRecorder {
public:
    explicit WireRecorder(int targetPort);
    ~WireRecorder();
    int Port() const { return port_; }
    std::vector<WireMessage> Messages() const;
    // Waits until a message matches; the matching messages so far.
    std::vector<WireMessage> WaitFor(std::uint8_t command, std::uint8_t subcommand,
                                     std::size_t count, std::chrono::milliseconds timeout) const;

private:
    void AcceptLoop();
    void Relay(int from, int to, bool fromApplication);

    int target_;
    int listen_ = -1;
    int port_ = 0;
    bool stopping_ = false;
    mutable std::mutex mutex_;
    std::vector<WireMessage> messages_;
    std::vector<int> sockets_;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
    std::uint64_t sequence_ = 0;
};

// A station process with its own HOME, installation and working folder.
class Station {
public:
    // capiPort 0: no .capi20rc target (a closed port); env adds variables.
    Station(const std::string& root, const std::string& name, int capiPort,
            const std::map<std::string, std::string>& env = {}, bool debugLog = true);
    // Sends one command and returns the answer line ("" on time-out).
    std::string Run(const std::string& command, std::chrono::milliseconds timeout = 30s);
    // Run in two halves, so that several stations can work at once.
    void Post(const std::string& command);
    std::string Answer(std::chrono::milliseconds timeout = 30s);
    std::optional<int> Quit(std::chrono::milliseconds timeout = 15s);
    std::string Log() const;
    std::string Errors() const;
    const std::string& Dir() const { return dir_; }

private:
    std::string dir_;
    std::unique_ptr<ChildProcess> process_;
};

std::string ReadFile(const std::string& path);
// The word at index of an answer line, "" when it has fewer words.
std::string Field(const std::string& line, std::size_t index);
std::vector<WireMessage> Only(const std::vector<WireMessage>& all, std::uint8_t command,
                              std::uint8_t subcommand);
int ClosedPort();
