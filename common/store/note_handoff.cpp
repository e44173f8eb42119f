#include "note_handoff.h"

#include <cstdio>
#include <cstdlib>

#include "profile.h"

namespace {

constexpr const char* kItemKey = "newItem";
constexpr const char* kFlagKey = "newItemFlag";

std::string QueueKey(int position) {
    char key[32];
    std::snprintf(key, sizeof key, "newItem-%03d", position);
    return key;
}

bool SlotTaken(const ProfileEditor& e, const std::string& section) {
    return std::atoi(e.Get(section, kFlagKey).value_or("0").c_str()) == 1;
}

bool Queued(const ProfileEditor& e, const std::string& section, int position) {
    return !e.Get(section, QueueKey(position)).value_or("").empty();
}

}  // namespace

bool HandOverItem(const std::string& notesFile, const std::string& section,
                  const std::string& record) {
    return UpdatePrivateProfile(notesFile, [&](ProfileEditor& e) {
        if (!SlotTaken(e, section)) {
            return e.Set(section, kFlagKey, "1") && e.Set(section, kItemKey, record);
        }
        int position = 1;
        while (Queued(e, section, position)) ++position;
        return e.Set(section, QueueKey(position), record);
    });
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
