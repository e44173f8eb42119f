// quorlin's command line.
#pragma once

#include <string>
#include <vector>

struct QuorlinOptions {
    bool help = false;
    // Only the answering station: another program already watches for calls.
    bool noMonitor = false;
};

// The options, or the German text of the mistake in error.
QuorlinOptions ParseOptions(const std::vector<std::string>& args, std::string& error);

// The text that --help prints.
std::string UsageText();
