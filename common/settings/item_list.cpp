#include "item_list.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "profile.h"

namespace {

constexpr const char* kCountKey = "Items";
constexpr const char* kBrokenBar = "\xC2\xA6";

size_t CharCount(std::string_view s) {
    return static_cast<size_t>(std::count_if(
        s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string WithoutBars(const std::string& field) {
    std::string out;
    for (char c : field) {
        if (c == '|') {
            out += kBrokenBar;
        } else {
            out += c;
        }
    }
    return out;
}

std::string WithBars(std::string_view field) {
    std::string out;
    for (size_t at = 0;;) {
        size_t bar = field.find(kBrokenBar, at);
        out += field.substr(at, bar - at);
        if (bar == std::string_view::npos) return out;
        out += '|';
        at = bar + 2;
    }
}

}  // namespace

std::string ItemList::ItemKey(size_t position) {
    char key[32];
    std::snprintf(key, sizeof key, "%s%03zu", "item-", position);
    return key;
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
        item.fields[f] = WithBars(value.substr(0, bar));
    }
    return item;
}

std::string ItemList::FormatRecord(const ListItem& item) {
    std::vector<std::string> fields;
    for (const std::string& f : item.fields) fields.push_back(WithoutBars(f));
    std::string id = std::to_string(item.id);
    auto total = [&] {
        size_t n = CharCount(id);
        for (const std::string& f : fields) n += 1 + CharCount(f);
        return n;
    };
    for (size_t length = total(); length > SettingsFile::kMaxValueChars; --length) {
        auto longest = std::max_element(fields.begin(), fields.end(), [](auto& a, auto& b) {
            return CharCount(a) < CharCount(b);
        });
        if (longest == fields.end() || longest->empty()) break;
        *longest = CutToChars(*longest, CharCount(*longest) - 1);
    }
    std::string record = id;
    for (const std::string& f : fields) record += "|" + f;
    return record;
}

void ItemList::Load(const SettingsFile& file, const std::string& section) {
    items_.clear();
    int count = file.ReadInt(section.c_str(), kCountKey, 0);
    for (int i = 1; i <= count; ++i) {
        std::string value = file.ReadText(section.c_str(), ItemKey(static_cast<size_t>(i)).c_str());
        if (auto item = ParseRecord(value, fieldCount_)) items_.push_back(std::move(*item));
    }
}

bool ItemList::Save(const SettingsFile& file, const std::string& section) const {
    return UpdatePrivateProfile(file.Path(), [&](ProfileEditor& e) {
        bool ok = e.Set(section, kCountKey, std::to_string(items_.size()));
        for (size_t i = 0; i < items_.size() && ok; ++i) {
            ok = e.Set(section, ItemKey(i + 1), FormatRecord(items_[i]));
        }
        for (size_t i = items_.size() + 1; ok; ++i) {
            std::string key = ItemKey(i);
            if (e.Get(section, key).value_or("").empty()) break;
            e.RemoveKey(section, key);
        }
        return ok;
    });
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

ListItem& ItemList::Add() {
    items_.push_back(ListItem{LargestId() + 1, std::vector<std::string>(fieldCount_)});
    return items_.back();
}
