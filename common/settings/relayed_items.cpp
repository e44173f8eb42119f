#include "relayed_items.h"

#include <cstdlib>

#include "profile.h"

namespace {
constexpr const char* kSection = "RelayResults";
constexpr const char* kKey = "RelayedItems";
}  // namespace

bool AppendRelayedItem(const std::string& configFile, long id) {
    return UpdatePrivateProfile(configFile, [id](ProfileEditor& e) {
        std::string list = e.Get(kSection, kKey).value_or("");
        if (!list.empty()) list += ",";
        return e.Set(kSection, kKey, list + std::to_string(id));
    });
}

std::vector<long> TakeRelayedItems(const std::string& configFile) {
    std::vector<long> ids;
    bool taken = UpdatePrivateProfile(configFile, [&ids](ProfileEditor& e) {
        std::string list = e.Get(kSection, kKey).value_or("");
        if (list.empty()) return false;
        for (size_t at = 0; at <= list.size();) {
            size_t comma = list.find(',', at);
            std::string piece = list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
            if (!piece.empty()) ids.push_back(std::strtol(piece.c_str(), nullptr, 10));
            if (comma == std::string::npos) break;
            at = comma + 1;
        }
        return e.Set(kSection, kKey, "");
    });
    // Ids that could not be cleared stay listed for the next take.
    if (!taken) ids.clear();
    return ids;
}
