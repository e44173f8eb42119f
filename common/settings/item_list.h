// The list form that every list kept in a settings file takes: a section
// with "Items" (the count) and one key per item, "item-001", "item-002" and
// so on, each holding the item's numeric id and its text fields, every
// field preceded by "|".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings_file.h"

struct ListItem {
    int id = 0;
    std::vector<std::string> fields;
};

class ItemList {
public:
    explicit ItemList(size_t fieldCount) : fieldCount_(fieldCount) {}

    // Reads "Items" keys of section; an empty item key makes no item.
    void Load(const SettingsFile& file, const std::string& section);
    // Writes the count and every item, then removes the keys of items that
    // are no more, up to the first key that has no value; one file replace.
    bool Save(const SettingsFile& file, const std::string& section) const;

    std::vector<ListItem>& Items() { return items_; }
    const std::vector<ListItem>& Items() const { return items_; }
    size_t FieldCount() const { return fieldCount_; }

    ListItem* FindById(int id);
    ListItem* FindByField(size_t field, std::string_view text);
    // 0 for an empty list.
    int LargestId() const;
    // Appends an item with an id above every other and fieldCount empty fields.
    ListItem& Add();

    // "item-%03d" of a 1-based position.
    static std::string ItemKey(size_t position);
    // The id is the number before the first "|"; each field ends at the next
    // "|"; a field that finds none takes the rest and the following stay
    // empty; text after the last field is ignored. An empty value is no item.
    // A "¦" in a field reads back as the "|" that FormatRecord stored so.
    static std::optional<ListItem> ParseRecord(std::string_view value, size_t fieldCount);
    // id, then "|" and each field. A "|" inside a field would shift the
    // fields behind it, so it is stored as "¦"; and since values read back
    // with at most 255 characters, the longest fields are shortened until
    // the record fits, so that no field is lost.
    static std::string FormatRecord(const ListItem& item);

private:
    size_t fieldCount_;
    std::vector<ListItem> items_;
};
