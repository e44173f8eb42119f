// What velo dials for a number: the outside-line prefix of the private
// exchange, the call-by-call prefix that the tariff plan gives for the
// moment, then the number's digits.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "settings_file.h"

// A number as people write it: digits, blanks and "-/()", with at most a
// "+" in front; at least one digit. Anything else (letters, a stray "+")
// would be dropped without a word and a wrong number dialled.
bool IsDiallableNumber(std::string_view number);

// The digits of number; a leading "+" is the international prefix "00".
std::string DialledDigits(std::string_view number);

std::string DialString(const SettingsFile& settings, const std::string& planKey,
                       std::string_view number, std::time_t when = std::time(nullptr));
