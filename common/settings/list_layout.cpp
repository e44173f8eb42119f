#include "list_layout.h"

#include <cstdlib>

#include "field_text.h"
#include "profile.h"

namespace {

constexpr const char* kHidden = ListLayout::kHiddenKey;
constexpr const char* kEnable = ListLayout::kEnableKey;
constexpr const char* kOrder = ListLayout::kOrderKey;
constexpr const char* kSize = ListLayout::kSizeKey;
constexpr const char* kSort = ListLayout::kSortKey;
constexpr const char* kSortDir = ListLayout::kSortDirKey;
constexpr int kLastSortColumn = 10;
constexpr const char* kMissing = "\x01";

}  // namespace

void ListLayout::Load(const SettingsFile& file, const std::string& section) {
    const char* s = section.c_str();
    for (auto [key, list] : {std::pair{kHidden, &hidden}, std::pair{kEnable, &enable},
                             std::pair{kOrder, &order}, std::pair{kSize, &size}}) {
        std::string text = file.ReadText(s, key, kMissing);
        if (text != kMissing) *list = ParseIntList(text);
    }
    std::string sort = file.ReadText(s, kSort, kMissing);
    if (sort != kMissing) {
        int column = std::atoi(sort.c_str());
        sortColumn = column >= 0 && column <= kLastSortColumn ? column : kNoSort;
    }
    sortDir = file.ReadInt(s, kSortDir, sortDir);
}

bool ListLayout::Save(const SettingsFile& file, const std::string& section) const {
    ProfileTransaction tx(file.Path());
    tx.Write(section, kHidden, FormatIntList(hidden));
    tx.Write(section, kEnable, FormatIntList(enable));
    tx.Write(section, kOrder, FormatIntList(order));
    tx.Write(section, kSize, FormatIntList(size));
    tx.Write(section, kSort, std::to_string(sortColumn));
    tx.Write(section, kSortDir, std::to_string(sortDir));
    return tx.Commit();
}
