// What quorlin tells: each event as one line on standard output, headed by
// the local time, and the diagnostic log "Quorlin.log" in the current
// folder when the installation's configuration switches it on.
#pragma once

#include <string>

#include "debuglog.h"

class QuorlinLog {
public:
    // Reads the switch from the configuration file at configPath.
    void Init(const std::string& configPath);

    // One line for the user; it also goes into the diagnostic log.
    void Event(const std::string& text);
    // The same on standard error, for what failed.
    void Failure(const std::string& text);

    DebugLog& Debug() { return debug_; }

private:
    DebugLog debug_;
};

QuorlinLog& Log();
