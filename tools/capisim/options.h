// What capisim is told on its command line and in its profile file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "numbering.h"

namespace capisim {

struct Options {
    std::vector<LineConfig> lines;
    std::vector<SpecialNumber> specials;
    uint32_t bitsPerSecond = 64000;
    double delayMs = 10;
    double ringSeconds = 30;
    std::string callLog;
    std::string smsLog;
};

// --help or -h anywhere on the command line asks for the usage text and
// for nothing else.
bool AsksForHelp(const std::vector<std::string>& args);
// What --help prints, and the one line of it shown with every mistake.
std::string UsageText();
std::string UsageSynopsis();

// Reads --config first (if given), then lets the other options add lines
// and override settings. On a mistake returns nullopt with a message for
// the user in error.
std::optional<Options> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

// Pieces shared with the profile file reader.
std::optional<LineConfig> ParseLineOption(const std::string& option);
std::optional<std::vector<std::string>> ParseNumberList(const std::string& list);
// A number the exchange answers itself; on a mistake nullopt with what is
// wrong with the value in error.
std::optional<SpecialNumber> ParseSpecial(const std::string& number, const std::string& what,
                                          std::string& error);
bool IsNumber(const std::string& text);
std::optional<double> ParseDecimal(const std::string& text);
std::optional<uint32_t> ParseUnsigned(const std::string& text, uint32_t max);

// Adds or replaces a line of the same name.
void PutLine(Options& options, LineConfig line);
// Adds or replaces the entry of the same number.
void PutSpecial(Options& options, SpecialNumber special);

// Reads the profile file into options; false with error when it cannot.
bool LoadConfigFile(const std::string& path, Options& options, std::string& error);

}  // namespace capisim
