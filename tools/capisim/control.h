// The commands a test or a person types on capisim's standard input.
#pragma once

#include <optional>
#include <string>

#include "exchange.h"

namespace capisim {

struct ControlCommand {
    enum class Kind { kCall, kCut, kQuit } kind = Kind::kQuit;
    TelephoneCall call;
    std::string line;
};

// nullopt with a message in error for a line that is no command; an empty
// line is no command either, with an empty error.
std::optional<ControlCommand> ParseControl(const std::string& text, std::string& error);

}  // namespace capisim
