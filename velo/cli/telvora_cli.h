// The telvora command line: velo's note store and note sending for stations
// without a desktop, and for scripts and tests.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "debuglog.h"
#include "note_sender.h"
#include "sms_sender.h"

struct CliContext {
    std::string storeDir;
    std::string configFile;
    NoteLinkFactory makeLink;  // null where the link library is not at hand
    std::string programId;
    const DebugLog* log = nullptr;
    // The SMS centre links, each wait for a reply capped at the given steps;
    // null where the link library is not at hand.
    std::function<SmsLinkFactory(unsigned long replyStepLimit)> smsLinks = nullptr;
};

// Runs one command; returns the process's exit status (0 success, 1 the
// command failed, 2 it was not understood).
int RunTelvoraCli(const std::vector<std::string>& args, const CliContext& context,
                  std::ostream& out, std::ostream& err);
