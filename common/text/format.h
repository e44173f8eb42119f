// printf-style formatting into a std::string, for the design's message
// texts with their "%s" and "%d" fields.
#pragma once

#include <string>

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
