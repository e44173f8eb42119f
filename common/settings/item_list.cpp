#include "item_list.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <unordered_set>

#include "field_text.h"
#include "profile.h"
#include "profile_document.h"

namespace {

constexpr const char* kCountKey = "Items";
constexpr std::string_view kItemPrefix = "item-";
// More digits than this name a position beyond any list: such a key still
// holds a record, sorted behind the others.
constexpr size_t kMaxKeyDigits = 9;

// The length each field keeps so that excess characters go, taken from
// the longest fields: every field is cut to at most `level` characters,
// but the last `extra` of those cut keep one more. That is where cutting
// one character at a time from the first longest field ends, found in
// linear time.
std::vector<size_t> FittedLengths(const std::vector<size_t>& lengths, size_t excess) {
    auto removedAt = [&](size_t level) {
        size_t removed = 0;
        for (size_t n : lengths) removed += n > level ? n - level : 0;
        return removed;
    };
    size_t longest = lengths.empty() ? 0 : *std::max_element(lengths.begin(), lengths.end());
    if (removedAt(0) <= excess) return std::vector<size_t>(lengths.size(), 0);
    // The highest level that removes enough; one above it removes too little.
    size_t low = 0, high = longest;
    while (low < high) {
        size_t mid = low + (high - low + 1) / 2;
        if (removedAt(mid) >= excess) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    size_t level = low;
    size_t extra = removedAt(level) - excess;  // characters the level takes too many
    size_t cut = static_cast<size_t>(
        std::count_if(lengths.begin(), lengths.end(), [&](size_t n) { return n > level; }));
    std::vector<size_t> fitted;
    for (size_t n : lengths) {
        if (n <= level) {
            fitted.push_back(n);
        } else {
            fitted.push_back(cut-- > extra ? level : level + 1);
        }
    }
    return fitted;
}

}  // namespace

std::optional<size_t> ItemList::KeyPosition(std::string_view key) {
    if (key.size() <= kItemPrefix.size() ||
        FoldCase(key.substr(0, kItemPrefix.size())) != kItemPrefix)
        return std::nullopt;
    std::string_view digits = key.substr(kItemPrefix.size());
    size_t position = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        position = position * 10 + static_cast<size_t>(c - '0');
    }
    return digits.size() > kMaxKeyDigits ? SIZE_MAX : position;
}

namespace {

// Whether key is spelled as ItemKey spells its position, case aside.
bool Canonical(std::string_view key) {
    std::string_view digits = key.substr(kItemPrefix.size());
    return digits.size() == 3 || (digits.size() > 3 && digits.front() != '0');
}

}  // namespace

std::string ItemList::ItemKey(size_t position) {
    char key[32];
    std::snprintf(key, sizeof key, "%s%03zu", "item-", position);
    return key;
}

std::vector<std::string> ItemList::ReadRecords(const ProfileReader& file,
                                               const std::string& section) {
    struct Found {
        size_t position;
        std::string value;
    };
    std::vector<Found> found;
    std::unordered_set<std::string> seen;
    for (const std::string& key : file.KeyNames(section)) {
        auto position = KeyPosition(key);
        // A repeated key reads as its first line only.
        if (!position || !seen.insert(FoldCase(key)).second) continue;
        std::string value = file.Get(section, key).value_or("");
        if (!value.empty()) found.push_back(Found{*position, std::move(value)});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.position < b.position; });
    std::vector<std::string> records;
    for (Found& f : found) records.push_back(std::move(f.value));
    return records;
}

bool ItemList::WriteRecords(ProfileEditor& file, const std::string& section,
                            const std::vector<std::string>& records) {
    // Each stale key is removed once: that takes the line a load read (or
    // a line without "=" that hid it). A later line of the same name was
    // never read; removing it too would lose a record nobody saw, so it
    // stays and is read by the next load.
    std::vector<std::string> stale;
    std::unordered_set<std::string> named;
    for (const std::string& key : file.KeyNames(section)) {
        auto position = KeyPosition(key);
        if (position && (!Canonical(key) || *position == 0 || *position > records.size()) &&
            named.insert(FoldCase(key)).second) {
            stale.push_back(key);
        }
    }
    bool ok = file.Set(section, kCountKey, std::to_string(records.size()));
    for (size_t i = 0; i < records.size() && ok; ++i)
        ok = file.Set(section, ItemKey(i + 1), records[i]);
    if (!ok) return false;
    for (const std::string& key : stale) file.RemoveKey(section, key);
    return true;
}

std::optional<ListItem> ItemList::ParseRecord(std::string_view value, size_t fieldCount) {
    if (value.empty()) return std::nullopt;
    ListItem item;
    size_t bar = value.find('|');
    item.id = std::atoi(std::string(value.substr(0, bar)).c_str());
    item.fields.assign(fieldCount, std::string());
    for (size_t f = 0; f < fieldCount && bar != std::string_view::npos; ++f) {
        value.remove_prefix(bar + 1);
        bar = value.find('|');
        item.fields[f] = BrokenBarsToBars(value.substr(0, bar));
    }
    return item;
}

std::string ItemList::FormatRecord(const ListItem& item) {
    std::vector<std::string> fields;
    std::vector<size_t> lengths;
    std::string id = std::to_string(item.id);
    size_t total = Utf8Chars(id);
    for (const std::string& f : item.fields) {
        fields.push_back(BarsToBrokenBars(f));
        lengths.push_back(Utf8Chars(fields.back()));
        total += 1 + lengths.back();
    }
    if (total > SettingsFile::kMaxValueChars) {
        std::vector<size_t> fitted = FittedLengths(lengths, total - SettingsFile::kMaxValueChars);
        for (size_t i = 0; i < fields.size(); ++i) {
            if (fitted[i] < lengths[i]) fields[i] = CutToChars(fields[i], fitted[i]);
        }
    }
    std::string record = id;
    for (const std::string& f : fields) {
        record += '|';
        record += f;
    }
    return record;
}

bool ItemList::Load(const SettingsFile& file, const std::string& section) {
    items_.clear();
    auto doc = ReadProfile(file.Path());
    if (!doc) return errno == ENOENT;
    for (const std::string& record : ReadRecords(ProfileReader(*doc), section)) {
        if (auto item = ParseRecord(record, fieldCount_)) items_.push_back(std::move(*item));
    }
    return true;
}

bool ItemList::Save(const SettingsFile& file, const std::string& section) const {
    std::vector<std::string> records;
    for (const ListItem& item : items_) records.push_back(FormatRecord(item));
    return UpdatePrivateProfile(
        file.Path(), [&](ProfileEditor& e) { return WriteRecords(e, section, records); });
}

ListItem* ItemList::FindById(int id) {
    auto it =
        std::find_if(items_.begin(), items_.end(), [id](const ListItem& i) { return i.id == id; });
    return it == items_.end() ? nullptr : &*it;
}

ListItem* ItemList::FindByField(size_t field, std::string_view text) {
    auto it = std::find_if(items_.begin(), items_.end(), [&](const ListItem& i) {
        return field < i.fields.size() && i.fields[field] == text;
    });
    return it == items_.end() ? nullptr : &*it;
}

int ItemList::LargestId() const {
    int largest = 0;
    for (const ListItem& i : items_) largest = std::max(largest, i.id);
    return largest;
}

int ItemList::NextId(const std::vector<ListItem>& items) {
    int largest = 0;
    for (const ListItem& i : items) largest = std::max(largest, i.id);
    if (largest < std::numeric_limits<int>::max()) return largest + 1;
    int id = 1;
    auto used = [&](const ListItem& i) { return i.id == id; };
    while (std::any_of(items.begin(), items.end(), used)) ++id;
    return id;
}

ListItem& ItemList::Add() {
    items_.push_back(ListItem{NextId(items_), std::vector<std::string>(fieldCount_)});
    return items_.back();
}
