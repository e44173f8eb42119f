// Running a helper program (nmcli) to its end: found on PATH, started
// without a shell with every argument as it is, its output captured, and
// killed when it takes too long.
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct ProgramOutput {
    enum class Outcome {
        kExited,      // exitStatus holds its exit code
        kSignalled,   // a signal ended it; exitStatus holds the signal
        kTimedOut,    // still running at the deadline: killed
        kNotStarted,  // the system could not start it; startError holds errno
    };
    Outcome outcome = Outcome::kNotStarted;
    int exitStatus = 0;
    int startError = 0;
    std::string out;
    std::string err;

    bool Succeeded() const { return outcome == Outcome::kExited && exitStatus == 0; }
};

// The path of the executable file named program in a folder of PATH, or ""
// when there is none.
std::string FindOnPath(const std::string& program);

// Runs path with args (not counting argv[0]); standard input is empty.
// When it has not ended within timeout, it and whatever it started in its
// process group are killed.
ProgramOutput RunForOutput(const std::string& path, const std::vector<std::string>& args,
                           std::chrono::milliseconds timeout);
