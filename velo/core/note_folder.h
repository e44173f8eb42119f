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

    // Reads every item record of the section as the notes data file holds
    // it at one moment, the directory (created when missing) and name, and
    // the column settings. A record that cannot be read as an item is kept
    // aside (Unreadable) until a save moves it out of the item keys.
    void Load(const ProfileReader& notes, const std::string& storeDir);
    // Writes "folderPath" and "folderName" where they are missing or empty.
    void WriteMissingNames(ProfileEditor& notes) const;
    // Whether the load found one of them missing.
    bool NamesMissing() const { return namesMissing_; }
    // Writes the items, removes the other item keys, sets unreadable
    // records aside and writes the column settings; touches no other key.
    bool Save(ProfileEditor& notes) const;

    int Index() const { return index_; }
    const std::string& Section() const { return section_; }
    const std::string& Dir() const { return dir_; }
    const std::string& Name() const { return name_; }
    Columns& ColumnSettings() { return columns_; }

    std::vector<NoteItem>& Items() { return items_; }
    const std::vector<NoteItem>& Items() const { return items_; }
    // Records that did not read as items, still under their item keys.
    const std::vector<std::string>& Unreadable() const { return unreadable_; }
    // After a save that set them aside.
    void ForgetUnreadable() { unreadable_.clear(); }

    // The first item whose note id is id, or null.
    NoteItem* Find(long id);
    int CountOfType(int type) const;
    int CountUnread() const;
    // What the status line shows for this folder.
    std::string StatusText() const;
    // The path of an item's text file in this folder ("" when it has none).
    std::string TextPath(const NoteItem& item) const;
    // How many items of this folder name that text file.
    int Claims(const std::string& textFile) const;

private:
    int index_;
    std::string section_;
    std::string dir_;
    std::string name_;
    Columns columns_;
    std::vector<NoteItem> items_;
    std::vector<std::string> unreadable_;
    bool namesMissing_ = false;
};
