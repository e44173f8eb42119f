#include "field_text.h"

#include <cstdlib>

namespace {
constexpr std::string_view kBrokenBar = "\xC2\xA6";
}  // namespace

std::string BarsToBrokenBars(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (char c : field) {
        if (c == '|') {
            out += kBrokenBar;
        } else {
            out += c;
        }
    }
    return out;
}

std::string BrokenBarsToBars(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t at = 0;;) {
        size_t bar = field.find(kBrokenBar, at);
        out += field.substr(at, bar - at);
        if (bar == std::string_view::npos) return out;
        out += '|';
        at = bar + kBrokenBar.size();
    }
}

std::vector<int> ParseIntList(std::string_view text) {
    std::vector<int> values;
    if (text.empty()) return values;
    for (size_t at = 0;;) {
        size_t comma = text.find(',', at);
        values.push_back(std::atoi(std::string(text.substr(at, comma - at)).c_str()));
        at = comma + 1;
        // As a line reader splits it: a comma at the very end starts no item.
        if (comma == std::string_view::npos || at == text.size()) return values;
    }
}

std::string FormatIntList(const std::vector<int>& values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) text += ",";
        text += std::to_string(values[i]);
    }
    return text;
}
