// The list form that every list kept in a settings file takes: a section
// with "Items" (the count) and one key per item, "item-001", "item-002" and
// so on, each holding the item's numeric id and its text fields, every
// field preceded by "|".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile.h"
#include "settings_file.h"

struct ListItem {
    int id = 0;
    std::vector<std::string> fields;
};

class ItemList {
public:
    explicit ItemList(size_t fieldCount) : fieldCount_(fieldCount) {}

    // Reads every record of section (see ReadRecords). False when the file
    // is there but cannot be read; a missing file is an empty list.
    bool Load(const SettingsFile& file, const std::string& section);
    // Writes the count and every item and removes the other item keys
    // (see WriteRecords); one file replace.
    bool Save(const SettingsFile& file, const std::string& section) const;

    std::vector<ListItem>& Items() { return items_; }
    const std::vector<ListItem>& Items() const { return items_; }
    size_t FieldCount() const { return fieldCount_; }

    ListItem* FindById(int id);
    ListItem* FindByField(size_t field, std::string_view text);
    // 0 for an empty list.
    int LargestId() const;
    // The id of a new item of items: one above every other; when the
    // largest is the largest int there is, which only an id written by hand
    // can be, the smallest positive one that is free.
    static int NextId(const std::vector<ListItem>& items);
    // Appends an item with an id above every other and fieldCount empty fields.
    ListItem& Add();

    // "item-%03d" of a 1-based position.
    static std::string ItemKey(size_t position);
    // The position an item key names ("item-" and digits, any case).
    static std::optional<size_t> KeyPosition(std::string_view key);

    // The records of section as they lie in the file: the value of every
    // item key that has one, in the order of their positions. "Items" does
    // not bound them: a count that is too small or missing, or a gap, must
    // not hide records that the next save would then remove, and a count
    // of two billion must not make anyone wait for two billion reads.
    static std::vector<std::string> ReadRecords(const ProfileReader& file,
                                                const std::string& section);
    // "Items" and item-001, item-002, ... for records, and every other
    // item key removed; since a load reads every record that is there, a
    // save removes none that was not loaded. False when a key cannot be written.
    static bool WriteRecords(ProfileEditor& file, const std::string& section,
                             const std::vector<std::string>& records);
    // The id is the number before the first "|"; each field ends at the next
    // "|"; a field that finds none takes the rest and the following stay
    // empty; text after the last field is ignored. An empty value is no item.
    // A "¦" in a field reads back as the "|" that FormatRecord stored so.
    static std::optional<ListItem> ParseRecord(std::string_view value, size_t fieldCount);
    // id, then "|" and each field. A "|" inside a field would shift the
    // fields behind it, so it is stored as "¦"; and since values read back
    // with at most 255 characters, the longest fields are shortened until
    // the record fits, so that no field is lost. Linear in the record's length.
    static std::string FormatRecord(const ListItem& item);

private:
    size_t fieldCount_;
    std::vector<ListItem> items_;
};
