// The text that a relay run forwards: the message file that velo expanded
// from the template, named by "Message" of the parameter file.
#pragma once

#include <optional>
#include <string>

#include "relay_parameters.h"

// The whole file with every CR LF read as LF. When it is missing or cannot
// be read, LastError says so and there is no text.
std::optional<std::string> ReadMessageText(const RelayParameters& params);

// text with every CR LF as LF; other CRs stay.
std::string LfLineEnds(std::string_view text);
