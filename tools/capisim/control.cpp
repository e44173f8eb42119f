#include "control.h"

#include <sstream>
#include <vector>

#include "options.h"

namespace capisim {
namespace {

std::optional<ControlCommand> ParseCall(const std::vector<std::string>& words, std::string& error) {
    error = "Aufruf: call VON NACH CIP SEKUNDEN";
    if (words.size() != 5 || !IsNumber(words[1]) || !IsNumber(words[2])) return std::nullopt;
    auto cip = ParseUnsigned(words[3], 31);
    auto seconds = ParseDecimal(words[4]);
    if (!cip || !seconds) return std::nullopt;
    ControlCommand c;
    c.kind = ControlCommand::Kind::kCall;
    c.call.from = words[1];
    c.call.to = words[2];
    c.call.cip = uint16_t(*cip);
    c.call.ringFor =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*seconds));
    error.clear();
    return c;
}

}  // namespace

std::optional<ControlCommand> ParseControl(const std::string& text, std::string& error) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    error.clear();
    if (words.empty()) return std::nullopt;
    if (words[0] == "call") return ParseCall(words, error);
    if (words[0] == "cut" && words.size() == 2) {
        ControlCommand c;
        c.kind = ControlCommand::Kind::kCut;
        c.line = words[1];
        return c;
    }
    if (words[0] == "quit" && words.size() == 1) return ControlCommand{};
    error = "unbekannter Befehl \"" + text + "\" (call VON NACH CIP SEKUNDEN, cut LEITUNG, quit)";
    return std::nullopt;
}

}  // namespace capisim
