#include "note_handoff.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "note_folders.h"
#include "note_ids.h"
#include "paths.h"

namespace {

constexpr const char* kItemKey = "newItem";
constexpr const char* kFlagKey = "newItemFlag";

std::string NumberedKey(const char* name, int position) {
    char key[64];
    std::snprintf(key, sizeof key, "%s-%03d", name, position);
    return key;
}

std::string QueueKey(int position) {
    return NumberedKey(kItemKey, position);
}

bool SlotTaken(const ProfileReader& e, const std::string& section) {
    return std::atoi(e.Get(section, kFlagKey).value_or("0").c_str()) == 1;
}

bool Queued(const ProfileReader& e, const std::string& section, int position) {
    return !e.Get(section, QueueKey(position)).value_or("").empty();
}

bool PutInLine(ProfileEditor& e, const std::string& section, const std::string& record) {
    if (!SlotTaken(e, section)) {
        return e.Set(section, kFlagKey, "1") && e.Set(section, kItemKey, record);
    }
    int position = 1;
    while (Queued(e, section, position)) ++position;
    return e.Set(section, QueueKey(position), record);
}

}  // namespace

bool HandOverItem(const std::string& notesFile, const std::string& section,
                  const std::string& record) {
    return UpdatePrivateProfile(notesFile,
                                [&](ProfileEditor& e) { return PutInLine(e, section, record); });
}

std::optional<NoteItem> HandOverNewItem(const std::string& notesFile, const std::string& section,
                                        NoteItem item, const std::string* textDir,
                                        const std::string& text) {
    std::string textPath;
    int error = 0;
    bool put = false;
    bool written = UpdatePrivateProfile(notesFile, [&](ProfileEditor& e) {
        std::unordered_set<long> used = NoteIdsInStore(e);
        long id = FreeNoteId(used, item.NoteId());
        if (textDir) {
            // The file is made under the store's lock, so that no one else
            // takes this id before the record that claims it is written.
            auto file = CreateNoteTextFile(
                *textDir, id, [&](std::time_t t) { return used.count(static_cast<long>(t)) > 0; });
            if (!file) {
                error = errno;
                return false;
            }
            id = static_cast<long>(file->time);
            textPath = JoinPath(*textDir, file->name);
            item.Set(NoteItem::kTextFile, file->name);
            if (!WriteNoteText(textPath, text)) {
                error = errno;
                return false;
            }
        }
        item.SetNumber(NoteItem::kNoteId, id);
        put = PutInLine(e, section, item.FormatHandoff());
        return put;
    });
    if (!written && error == 0) error = errno;
    if (written && put) return item;
    if (!textPath.empty()) unlink(textPath.c_str());
    errno = error ? error : EIO;
    return std::nullopt;
}

std::optional<std::string> PendingItem(const std::string& notesFile, const std::string& section) {
    if (GetPrivateProfileInt(section.c_str(), kFlagKey, 0, notesFile.c_str()) != 1)
        return std::nullopt;
    char record[1024];
    GetPrivateProfileString(section.c_str(), kItemKey, "", record, sizeof record,
                            notesFile.c_str());
    return std::string(record);
}

bool ConfirmTaken(const std::string& notesFile, const std::string& section,
                  const std::string& record) {
    bool confirmed = false;
    bool written = UpdatePrivateProfile(notesFile, [&](ProfileEditor& e) {
        if (!SlotTaken(e, section) || e.Get(section, kItemKey).value_or("") != record) return false;
        confirmed = true;
        if (!Queued(e, section, 1)) return e.Set(section, kFlagKey, "0");
        int last = 1;
        e.Set(section, kItemKey, *e.Get(section, QueueKey(1)));
        for (; Queued(e, section, last + 1); ++last) {
            e.Set(section, QueueKey(last), *e.Get(section, QueueKey(last + 1)));
        }
        return e.RemoveKey(section, QueueKey(last));
    });
    return written && confirmed;
}

std::vector<std::string> WaitingItems(const ProfileReader& notes, const std::string& section) {
    std::vector<std::string> records;
    // The line is only there while the slot is taken; should it ever be
    // there without, its items still wait and are not forgotten.
    if (SlotTaken(notes, section)) records.push_back(notes.Get(section, kItemKey).value_or(""));
    for (int position = 1; Queued(notes, section, position); ++position) {
        records.push_back(*notes.Get(section, QueueKey(position)));
    }
    return records;
}

void TakeAllWaiting(ProfileEditor& notes, const std::string& section) {
    if (SlotTaken(notes, section)) notes.Set(section, kFlagKey, "0");
    for (int position = 1; Queued(notes, section, position); ++position) {
        notes.RemoveKey(section, QueueKey(position));
    }
}

std::vector<std::string> SetAsideKeys(const ProfileReader& notes, const std::string& section) {
    std::vector<std::string> keys;
    for (int position = 1; notes.Get(section, NumberedKey("unreadableItem", position));
         ++position) {
        keys.push_back(NumberedKey("unreadableItem", position));
    }
    return keys;
}

std::string SetAsideUnreadable(ProfileEditor& notes, const std::string& section,
                               const std::string& record) {
    int position = 1;
    while (notes.Get(section, NumberedKey("unreadableItem", position))) ++position;
    std::string key = NumberedKey("unreadableItem", position);
    notes.Set(section, key, record);
    return key;
}
