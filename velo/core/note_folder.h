// One of the six folders of the note store: its items in list order, its
// directory for the items' text files, and the column settings of its list.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "note_item.h"
#include "profile.h"

class CNoteFolder {
public:
    static constexpr int kColumns = 11;
    static constexpr int kDefaultColumnWidth = 60;

    struct Columns {
        std::array<int, kColumns> hidden{}, order{}, size{};
        std::array<int, kColumns> enable;
        int sort = 0;
        int sortDir = 0;
        Columns();
    };

    CNoteFolder(int index, std::string section) : index_(index), section_(std::move(section)) {}

    // Reads the items, the directory and name (writing the section name for
    // a missing one, creating the directory) and the column settings.
    bool Load(const std::string& notesFile, const std::string& storeDir);
    // Writes the items, removes the keys of items that are no more and
    // writes the column settings; touches no other key of the section.
    bool Save(ProfileEditor& notes) const;

    int Index() const { return index_; }
    const std::string& Section() const { return section_; }
    const std::string& Dir() const { return dir_; }
    const std::string& Name() const { return name_; }
    Columns& ColumnSettings() { return columns_; }

    std::vector<NoteItem>& Items() { return items_; }
    const std::vector<NoteItem>& Items() const { return items_; }
    // The first item whose note id is id, or null.
    NoteItem* Find(long id);
    int CountOfType(int type) const;
    int CountUnread() const;
    // What the status line shows for this folder.
    std::string StatusText() const;
    // The path of an item's text file in this folder ("" when it has none).
    std::string TextPath(const NoteItem& item) const;

private:
    int index_;
    std::string section_;
    std::string dir_;
    std::string name_;
    Columns columns_;
    std::vector<NoteItem> items_;
};
