// The relay log that velo's relay thread and every relay run append to.
#pragma once

#include <ctime>
#include <string>

// Appends "<ctime text> <name>: <text>\n" to path with a single write, so
// that the lines of relays running at once never mix. False when the line
// could not be written.
bool AppendRelayLogLine(const std::string& path, const std::string& name, const std::string& text,
                        std::time_t when);
