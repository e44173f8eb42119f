#include "relayed_items.h"

#include <cerrno>
#include <cstdlib>

#include "config_keys.h"
#include "profile.h"

namespace {

std::vector<long> ParseIds(const std::string& list) {
    std::vector<long> ids;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        long id = 0;
        if (ParseNoteId(list.substr(start, comma - start), id)) ids.push_back(id);
        start = comma + 1;
    }
    return ids;
}

}  // namespace

bool ParseNoteId(const std::string& text, long& id) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    id = std::strtol(text.c_str(), nullptr, 10);
    return errno != ERANGE;
}

bool AppendRelayedItem(const std::string& configFile, long id) {
    const TextSetting& key = cfg::kRelayedItems;
    return UpdatePrivateProfile(configFile, [&](ProfileEditor& edit) {
        std::string list = edit.Get(key.section, key.key).value_or("");
        if (!list.empty()) list += ",";
        list += std::to_string(id);
        edit.RemoveKey(cfg::kRelayFailures, std::to_string(id));
        return edit.Set(key.section, key.key, list);
    });
}

std::vector<long> TakeRelayedItems(const std::string& configFile) {
    const TextSetting& key = cfg::kRelayedItems;
    std::vector<long> ids;
    bool taken = UpdatePrivateProfile(configFile, [&](ProfileEditor& edit) {
        std::string list = edit.Get(key.section, key.key).value_or("");
        if (list.empty()) return false;
        ids = ParseIds(list);
        return edit.Set(key.section, key.key, "");
    });
    // Ids that are still in the file are taken the next time, not now as well.
    if (!taken) ids.clear();
    return ids;
}

bool RecordRelayFailure(const std::string& configFile, long id, const std::string& text) {
    return UpdatePrivateProfile(configFile, [&](ProfileEditor& edit) {
        return edit.Set(cfg::kRelayFailures, std::to_string(id), text);
    });
}
