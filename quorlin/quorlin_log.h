// What quorlin tells: each event as one line on standard output, headed by
// the local time, failures and message boxes the same way on standard
// error, and the diagnostic log "Quorlin.log" in the current folder when the
// installation's configuration switches it on.
#pragma once

#include <cstdio>
#include <string>

#include "debuglog.h"

class QuorlinLog {
public:
    // Reads the switch from the configuration file at configPath.
    void Init(const std::string& configPath);

    // From now on only quorlin's own lines reach standard error: what other
    // code prints to the C library's stderr (libcapi20's debug lines) goes
    // into the diagnostic log instead. Message boxes keep coming to
    // standard error, one line each.
    void TakeOverStandardError();

    // One line for the user; it also goes into the diagnostic log.
    void Event(const std::string& text);
    // The same on standard error, for what failed.
    void Failure(const std::string& text);

    DebugLog& Debug() { return debug_; }

private:
    DebugLog debug_;
    std::FILE* errors_ = stderr;
};

QuorlinLog& Log();
