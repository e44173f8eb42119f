// Texts that travel as fields of a "|"-separated line (item records, note
// command lines) and as comma-separated number lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A "|" inside a field would shift every field behind it, so a field keeps
// it as "¦" (U+00A6), which reads back as "|".
std::string BarsToBrokenBars(std::string_view field);
std::string BrokenBarsToBars(std::string_view field);

// "1,2,3": each item through the C library's integer conversion, so an
// empty or non-numeric item reads as 0; "" is an empty list.
std::vector<int> ParseIntList(std::string_view text);
std::string FormatIntList(const std::vector<int>& values);
