#include "list_layout.h"

#include <cstdlib>
#include <sstream>

#include "profile.h"

namespace {

constexpr const char* kHidden = "colHidden";
constexpr const char* kEnable = "colEnable";
constexpr const char* kOrder = "colOrder";
constexpr const char* kSize = "colSize";
constexpr const char* kSort = "colSort";
constexpr const char* kSortDir = "sortDir";
constexpr int kLastSortColumn = 10;
constexpr const char* kMissing = "\x01";

}  // namespace

std::vector<int> ListLayout::ParseInts(const std::string& text) {
    std::vector<int> values;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) values.push_back(std::atoi(item.c_str()));
    return values;
}

std::string ListLayout::FormatInts(const std::vector<int>& values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) text += ",";
        text += std::to_string(values[i]);
    }
    return text;
}

void ListLayout::Load(const SettingsFile& file, const std::string& section) {
    const char* s = section.c_str();
    for (auto [key, list] : {std::pair{kHidden, &hidden}, std::pair{kEnable, &enable},
                             std::pair{kOrder, &order}, std::pair{kSize, &size}}) {
        std::string text = file.ReadText(s, key, kMissing);
        if (text != kMissing) *list = ParseInts(text);
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
    tx.Write(section, kHidden, FormatInts(hidden));
    tx.Write(section, kEnable, FormatInts(enable));
    tx.Write(section, kOrder, FormatInts(order));
    tx.Write(section, kSize, FormatInts(size));
    tx.Write(section, kSort, std::to_string(sortColumn));
    tx.Write(section, kSortDir, std::to_string(sortDir));
    return tx.Commit();
}
