#include "window_layout.h"

#include <cstdio>

namespace {

constexpr int kSmallest = 100;

bool ParseInts(const std::string& text, int* values, int count) {
    // Every number must be there, and nothing but blanks after the last.
    int used = 0;
    if (count == 4) {
        if (std::sscanf(text.c_str(), "%d,%d,%d,%d%n", &values[0], &values[1], &values[2],
                        &values[3], &used) != 4)
            return false;
    } else if (std::sscanf(text.c_str(), "%d,%d%n", &values[0], &values[1], &used) != 2) {
        return false;
    }
    return text.find_first_not_of(" \t", static_cast<size_t>(used)) == std::string::npos;
}

}  // namespace

WindowRect MainWindowRect(const std::string& text) {
    int v[4];
    const WindowRect fallback{40, 20, 600, 400};
    if (!ParseInts(text, v, 4)) return fallback;
    WindowRect r{v[0], v[1], v[2], v[3]};
    if ((r.left > 1500 && r.top > 1500) || (r.left < -1 && r.top < -1)) return fallback;
    if (r.width < kSmallest || r.height < kSmallest) return fallback;
    return r;
}

PaneSize PaneSizeOf(const std::string& text, const TextSetting& setting) {
    int v[2];
    if (ParseInts(text, v, 2) && v[0] >= 0 && v[1] >= 0) return PaneSize{v[0], v[1]};
    ParseInts(setting.def, v, 2);
    return PaneSize{v[0], v[1]};
}

std::string FormatRect(const WindowRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.width) +
           "," + std::to_string(r.height);
}

std::string FormatPane(const PaneSize& p) {
    return std::to_string(p.width) + "," + std::to_string(p.height);
}
