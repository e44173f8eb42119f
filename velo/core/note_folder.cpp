#include "note_folder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "item_list.h"
#include "note_folders.h"
#include "paths.h"
#include "settings_file.h"

namespace {

constexpr const char* kCountKey = "Items";
constexpr const char* kPathKey = "folderPath";
constexpr const char* kNameKey = "folderName";

// At most kColumns comma-separated numbers; an empty text keeps the defaults.
void ReadColumns(const SettingsFile& file, const std::string& section, const char* key,
                 std::array<int, CNoteFolder::kColumns>& values) {
    std::string text = file.ReadText(section.c_str(), key);
    if (text.empty()) return;
    std::stringstream in(text);
    std::string item;
    for (size_t i = 0; i < values.size() && std::getline(in, item, ','); ++i) {
        values[i] = std::atoi(item.c_str());
    }
}

std::string JoinColumns(const std::array<int, CNoteFolder::kColumns>& values, bool flags) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) text += ",";
        text += flags ? (values[i] ? "1" : "0") : std::to_string(values[i]);
    }
    return text;
}

}  // namespace

CNoteFolder::Columns::Columns() {
    enable.fill(1);
    size.fill(kDefaultColumnWidth);
    for (int i = 0; i < kColumns; ++i) order[i] = i;
}

bool CNoteFolder::Load(const std::string& notesFile, const std::string& storeDir) {
    SettingsFile file(notesFile);
    const char* s = section_.c_str();
    items_.clear();
    int count = file.ReadInt(s, kCountKey, 0);
    for (int i = 1; i <= count; ++i) {
        auto item = NoteItem::Parse(file.ReadText(s, ItemList::ItemKey(i).c_str()));
        if (item) items_.push_back(std::move(*item));
    }
    std::string path = file.ReadText(s, kPathKey);
    if (path.empty()) {
        path = section_;
        file.WriteText(s, kPathKey, path.c_str());
    }
    dir_ = FolderDir(storeDir, path);
    mkdir(dir_.c_str(), 0777);
    name_ = file.ReadText(s, kNameKey);
    if (name_.empty()) {
        name_ = section_;
        file.WriteText(s, kNameKey, name_.c_str());
    }
    columns_ = Columns();
    ReadColumns(file, section_, "colHidden", columns_.hidden);
    ReadColumns(file, section_, "colEnable", columns_.enable);
    ReadColumns(file, section_, "colOrder", columns_.order);
    ReadColumns(file, section_, "colSize", columns_.size);
    columns_.sort = file.ReadInt(s, "colSort", 0);
    columns_.sortDir = file.ReadInt(s, "sortDir", 0);
    return true;
}

bool CNoteFolder::Save(ProfileEditor& notes) const {
    bool ok = notes.Set(section_, kCountKey, std::to_string(items_.size()));
    for (size_t i = 0; i < items_.size() && ok; ++i) {
        ok = notes.Set(section_, ItemList::ItemKey(i + 1), items_[i].Format());
    }
    if (!ok) return false;
    for (size_t k = items_.size() + 1;; ++k) {
        std::string key = ItemList::ItemKey(k);
        if (notes.Get(section_, key).value_or("").empty()) break;
        notes.RemoveKey(section_, key);
    }
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
