// What velo dials for a number: the outside-line prefix of the private
// exchange, the call-by-call prefix that the tariff plan gives for the
// moment, then the number's digits.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "settings_file.h"

std::string DialString(const SettingsFile& settings, const std::string& planKey,
                       std::string_view number, std::time_t when = std::time(nullptr));
