// One run of relay: the parameter file named on the command line, the
// operation it names tried up to "tries" times with a pause before each
// attempt, the outcome in the relay log and in the configuration file
// (RelayedItems, RelayFailures), then the run's files removed.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "debuglog.h"
#include "relay_operations.h"
#include "relay_parameters.h"

class RelayProgram {
public:
    using Pause = std::function<void(std::chrono::milliseconds)>;
    using LinkStart = std::function<bool()>;
    using LinkStop = std::function<void()>;

    // Console lines go to out. The pause sleeps; the link functions start
    // and stop the link library.
    explicit RelayProgram(std::ostream& out);

    // Tests count the pauses instead of sleeping through them, and stand
    // in for the link library.
    void SetPause(Pause pause) { pause_ = std::move(pause); }
    void SetLink(LinkStart start, LinkStop stop) {
        startLink_ = std::move(start);
        stopLink_ = std::move(stop);
    }

    // args without the program name. The program's result: 1 after the
    // usage text or a link library that cannot be started, else 0. Without
    // a parameter file, -h or --help prints the help and gives 0.
    int Run(const std::vector<std::string>& args);

private:
    struct Outcome {
        bool success = false;
        int attempts = 0;
    };
    Outcome Attempt(const RelayParameters& params, const RelayOperation& operation, int code);
    // The relay log line and the configuration file; false when they could
    // not be written.
    bool Report(const RelayParameters& params, const std::string& configFile,
                const RelayOperation& operation, const Outcome& outcome);
    void RemoveRunFiles(const RelayParameters& params, const std::string& configFile) const;

    std::ostream& out_;
    DebugLog log_;
    Pause pause_;
    LinkStart startLink_;
    LinkStop stopLink_;
};

// What "relay --help" prints.
extern const char* const kRelayHelp;

// The parameter file of the command line: the rest of the last argument
// that begins with "-f:"; "" when there is none.
std::string ParameterFileOf(const std::vector<std::string>& args);
