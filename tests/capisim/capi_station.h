// A CAPI application for tests: a child process with its own HOME (so that
// libcapi20 reads that home's .capi20rc) that registers with libcapi20 and
// then puts the messages the test hands it and hands back every message it
// gets, DATA_B3_IND with its data. The test answers every indication itself.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "capi_test_message.h"

namespace capitest {

using namespace std::chrono_literals;

struct StationOptions {
    unsigned maxLogicalConnections = 2;
    unsigned maxB3Blocks = 7;
    unsigned maxB3Length = 2048;
};

class Station {
public:
    // Forks the station process for home and registers there.
    explicit Station(const std::string& home, StationOptions options = {});
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // capi20_register's result (0 when registered); nullopt when the
    // station did not answer.
    std::optional<unsigned> RegisterResult() const { return registerResult_; }

    // Puts a message; data follows a DATA_B3_REQ. Returns capi20_put_message's result.
    unsigned Put(const Bytes& message, const Bytes& data = {});
    // The next message, or nullopt after timeout.
    std::optional<Received> Next(std::chrono::milliseconds timeout = 5s);
    // Skips messages until one of this command and subcommand arrives; the
    // skipped ones are kept in Skipped().
    std::optional<Received> WaitFor(uint8_t command, uint8_t subcommand,
                                    std::chrono::milliseconds timeout = 5s);
    const std::vector<Received>& Skipped() const { return skipped_; }
    // Nothing arrives within the time.
    bool Quiet(std::chrono::milliseconds time);
    // Releases the application (closing its connection) and ends the process.
    void Release();
    // The error capi20_get_message reported when the connection failed, if it did.
    std::optional<unsigned> ConnectionError() const { return connectionError_; }

private:
    bool ReadEvent(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::optional<unsigned> registerResult_;
    std::optional<unsigned> putResult_;
    std::optional<unsigned> connectionError_;
    std::vector<Received> inbox_;
    std::vector<Received> skipped_;
};

}  // namespace capitest
