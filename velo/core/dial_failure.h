// What velo tells the user when the network refuses a call: the three
// causes it names, the same for a note and for an SMS centre.
#pragma once

#include <optional>
#include <string>

// The text for busy (0x3491), no answer (0x3492) and not reachable
// (0x34D8); none for any other reason.
std::optional<std::string> KnownDialFailure(unsigned short reason);
