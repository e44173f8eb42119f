#include "note_folder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "field_text.h"
#include "item_list.h"
#include "note_folders.h"
#include "note_handoff.h"
#include "paths.h"

namespace {

constexpr const char* kPathKey = "folderPath";
constexpr const char* kNameKey = "folderName";

// At most kColumns numbers; an empty text keeps the defaults.
void ReadColumns(const ProfileReader& notes, const std::string& section, const char* key,
                 std::array<int, CNoteFolder::kColumns>& values) {
    std::vector<int> read = ParseIntList(notes.Get(section, key).value_or(""));
    for (size_t i = 0; i < values.size() && i < read.size(); ++i) values[i] = read[i];
}

std::string JoinColumns(const std::array<int, CNoteFolder::kColumns>& values, bool flags) {
    std::vector<int> list(values.begin(), values.end());
    if (flags) {
        for (int& v : list) v = v ? 1 : 0;
    }
    return FormatIntList(list);
}

int ReadInt(const ProfileReader& notes, const std::string& section, const char* key) {
    return std::atoi(notes.Get(section, key).value_or("0").c_str());
}

}  // namespace

CNoteFolder::Columns::Columns() {
    enable.fill(1);
    size.fill(kDefaultColumnWidth);
    for (int i = 0; i < kColumns; ++i) order[i] = i;
}

void CNoteFolder::Load(const ProfileReader& notes, const std::string& storeDir) {
    items_.clear();
    unreadable_.clear();
    for (std::string& record : ItemList::ReadRecords(notes, section_)) {
        if (auto item = NoteItem::Parse(record)) {
            items_.push_back(std::move(*item));
        } else {
            unreadable_.push_back(std::move(record));
        }
    }
    std::string path = notes.Get(section_, kPathKey).value_or("");
    dir_ = FolderDir(storeDir, path.empty() ? section_ : path);
    mkdir(dir_.c_str(), 0777);
    name_ = notes.Get(section_, kNameKey).value_or("");
    namesMissing_ = path.empty() || name_.empty();
    if (name_.empty()) name_ = section_;
    columns_ = Columns();
    ReadColumns(notes, section_, "colHidden", columns_.hidden);
    ReadColumns(notes, section_, "colEnable", columns_.enable);
    ReadColumns(notes, section_, "colOrder", columns_.order);
    ReadColumns(notes, section_, "colSize", columns_.size);
    columns_.sort = ReadInt(notes, section_, "colSort");
    columns_.sortDir = ReadInt(notes, section_, "sortDir");
}

void CNoteFolder::WriteMissingNames(ProfileEditor& notes) const {
    for (const char* key : {kPathKey, kNameKey}) {
        if (notes.Get(section_, key).value_or("").empty()) notes.Set(section_, key, section_);
    }
}

bool CNoteFolder::Save(ProfileEditor& notes) const {
    std::vector<std::string> records;
    records.reserve(items_.size());
    for (const NoteItem& item : items_) records.push_back(item.Format());
    if (!ItemList::WriteRecords(notes, section_, records)) return false;
    for (const std::string& record : unreadable_) SetAsideUnreadable(notes, section_, record);
    notes.Set(section_, "colHidden", JoinColumns(columns_.hidden, true));
    notes.Set(section_, "colEnable", JoinColumns(columns_.enable, true));
    notes.Set(section_, "colOrder", JoinColumns(columns_.order, false));
    notes.Set(section_, "colSize", JoinColumns(columns_.size, false));
    notes.Set(section_, "colSort", std::to_string(columns_.sort));
    notes.Set(section_, "sortDir", std::to_string(columns_.sortDir));
    return true;
}

NoteItem* CNoteFolder::Find(long id) {
    auto it = std::find_if(items_.begin(), items_.end(),
                           [id](const NoteItem& n) { return n.NoteId() == id; });
    return it == items_.end() ? nullptr : &*it;
}

int CNoteFolder::CountOfType(int type) const {
    return static_cast<int>(std::count_if(items_.begin(), items_.end(),
                                          [type](const NoteItem& n) { return n.Type() == type; }));
}

int CNoteFolder::CountUnread() const {
    return static_cast<int>(
        std::count_if(items_.begin(), items_.end(), [](const NoteItem& n) { return !n.IsRead(); }));
}

std::string CNoteFolder::StatusText() const {
    if (items_.empty()) return "Bereit";
    char text[96];
    int unread = CountUnread();
    if (unread > 0) {
        std::snprintf(text, sizeof text, "%d Nachricht(en), %d ungelesen",
                      static_cast<int>(items_.size()), unread);
    } else {
        std::snprintf(text, sizeof text, "%d Nachricht(en)", static_cast<int>(items_.size()));
    }
    return text;
}

std::string CNoteFolder::TextPath(const NoteItem& item) const {
    const std::string& name = item.Get(NoteItem::kTextFile);
    // A name is a file of this folder, never a way out of it.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return "";
    return JoinPath(dir_, name);
}

int CNoteFolder::Claims(const std::string& textFile) const {
    if (textFile.empty()) return 0;
    return static_cast<int>(std::count_if(items_.begin(), items_.end(), [&](const NoteItem& n) {
        return n.Get(NoteItem::kTextFile) == textFile;
    }));
}
