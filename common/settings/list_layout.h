// The column layout of a list window, one section per list: "colHidden",
// "colEnable", "colOrder", "colSize" (one integer per column, separated by
// ","), "colSort" (the sort column 0 to 10, else none) and "sortDir".
#pragma once

#include <string>
#include <vector>

#include "settings_file.h"

struct ListLayout {
    static constexpr int kNoSort = -1;

    std::vector<int> hidden, enable, order, size;
    int sortColumn = kNoSort;
    int sortDir = 0;

    // Keys that are missing leave the window's own defaults in place.
    void Load(const SettingsFile& file, const std::string& section);
    bool Save(const SettingsFile& file, const std::string& section) const;
};
