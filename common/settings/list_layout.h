// The column layout of a list window, one section per list: "colHidden",
// "colEnable", "colOrder", "colSize" (one integer per column, separated by
// ","), "colSort" (the sort column 0 to 10, else none) and "sortDir".
#pragma once

#include <array>
#include <string>
#include <vector>

#include "settings_file.h"

struct ListLayout {
    static constexpr int kNoSort = -1;
    static constexpr const char* kHiddenKey = "colHidden";
    static constexpr const char* kEnableKey = "colEnable";
    static constexpr const char* kOrderKey = "colOrder";
    static constexpr const char* kSizeKey = "colSize";
    static constexpr const char* kSortKey = "colSort";
    static constexpr const char* kSortDirKey = "sortDir";
    static constexpr std::array<const char*, 6> kKeys{kHiddenKey, kEnableKey, kOrderKey,
                                                      kSizeKey,   kSortKey,   kSortDirKey};

    std::vector<int> hidden, enable, order, size;
    int sortColumn = kNoSort;
    int sortDir = 0;

    // Keys that are missing leave the window's own defaults in place.
    void Load(const SettingsFile& file, const std::string& section);
    bool Save(const SettingsFile& file, const std::string& section) const;
};
