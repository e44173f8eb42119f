#include "update_merge.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string_view>
#include <vector>

#include "address_book.h"
#include "config_keys.h"
#include "field_text.h"
#include "item_list.h"
#include "list_layout.h"
#include "locations.h"
#include "old_address_list.h"
#include "paths.h"
#include "profile.h"
#include "profile_document.h"
#include "tariffs.h"

namespace {

// Far above anything a version ships; a larger file is no update file.
constexpr size_t kMaxUpdateBytes = 1 << 20;
// Keys tried for one joining entry before it is left out.
constexpr int kMaxKeyTries = 200;

std::string WithPath(const char* format, const std::string& path) {
    std::vector<char> text(std::strlen(format) + path.size() + 1);
    std::snprintf(text.data(), text.size(), format, path.c_str());
    return text.data();
}

UpdateMergeResult Failure(const char* format, const std::string& path) {
    UpdateMergeResult result;
    result.message = WithPath(format, path);
    return result;
}

enum class UpdateText { Missing, Unreadable, Damaged, Read };

// A profile file holds no control characters but tabs, line ends and the
// DOS end-of-file mark.
bool LooksLikeText(std::string_view data) {
    return std::none_of(data.begin(), data.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != 0x1a) || u == 0x7f;
    });
}

UpdateText ReadUpdate(const std::string& path, std::string& data) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? UpdateText::Missing : UpdateText::Unreadable;
    }
    if (!S_ISREG(st.st_mode)) return UpdateText::Unreadable;
    std::ifstream in(path, std::ios::binary);
    if (!in) return UpdateText::Unreadable;
    // Read piece by piece up to one byte past the limit: a shipped file is
    // a few kilobytes, and a buffer of the limit's size would cost each read
    // a megabyte.
    data.clear();
    char piece[16 * 1024];
    while (data.size() <= kMaxUpdateBytes) {
        in.read(piece, sizeof piece);
        if (in.gcount() <= 0) break;
        data.append(piece, static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) return UpdateText::Unreadable;
    if (data.size() > kMaxUpdateBytes || !LooksLikeText(data)) return UpdateText::Damaged;
    return UpdateText::Read;
}

// Size and FNV-1a hash: what tells one shipped file from the next.
std::string Fingerprint(std::string_view data) {
    uint64_t hash = 14695981039346656037ull;
    for (char c : data) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%zu:%016llx", data.size(),
                  static_cast<unsigned long long>(hash));
    return text;
}

std::vector<ListItem> ReadList(const ProfileReader& file, const std::string& section,
                               size_t fieldCount) {
    std::vector<ListItem> items;
    for (const std::string& record : ItemList::ReadRecords(file, section)) {
        if (auto item = ItemList::ParseRecord(record, fieldCount)) items.push_back(*item);
    }
    return items;
}

std::vector<std::string> Records(const std::vector<ListItem>& items) {
    std::vector<std::string> records;
    for (const ListItem& item : items) records.push_back(ItemList::FormatRecord(item));
    return records;
}

bool WriteList(ProfileEditor& file, const std::string& section,
               const std::vector<ListItem>& items) {
    return ItemList::WriteRecords(file, section, Records(items));
}

// How a list names its entries: by a key that references use and by the
// name that the user knows.
struct ListKind {
    size_t fieldCount;
    size_t nameField;
    std::function<std::string(const ListItem&)> key;
    // Whether a shipped key may go into the configuration as it is.
    std::function<bool(const std::string&)> usable;
    // Whether a key is taken by something other than an entry of the list.
    std::function<bool(const std::string&)> takenElsewhere;
    // Gives item the next key after those of list.
    std::function<void(ListItem&, const std::vector<ListItem>&)> renumber;
};

enum class Place { Same, NameTaken, Joined, Left };
struct Placement {
    Place place;
    size_t index = 0;  // of the user's entry that the shipped one is or became
};

template <typename Pred>
std::optional<size_t> FindIndex(const std::vector<ListItem>& list, Pred pred) {
    auto it = std::find_if(list.begin(), list.end(), pred);
    if (it == list.end()) return std::nullopt;
    return static_cast<size_t>(it - list.begin());
}

// A joining entry takes the next free key when its own is taken or unfit,
// so that no reference to a user's entry comes to mean the shipped one.
bool GiveFreeKey(const ListKind& kind, const std::vector<ListItem>& list, ListItem& joined) {
    auto taken = [&](const std::string& key) {
        return !kind.usable(key) || kind.takenElsewhere(key) ||
               FindIndex(list, [&](const ListItem& i) { return kind.key(i) == key; });
    };
    std::vector<ListItem> tried = list;
    for (int i = 0; taken(kind.key(joined)); ++i) {
        if (i == kMaxKeyTries) return false;
        kind.renumber(joined, tried);
        tried.push_back(joined);
    }
    bool idTaken =
        FindIndex(list, [&](const ListItem& i) { return i.id == joined.id; }).has_value();
    if (joined.id <= 0 || idTaken) joined.id = ItemList::NextId(list);
    return true;
}

// Where a shipped entry goes: onto the user's entry with its key and name
// (the same entry, perhaps in a newer version), nowhere when the user has
// one of its name under another key, else behind the user's entries.
Placement PlaceEntry(const ListKind& kind, std::vector<ListItem>& list, const ListItem& shipped) {
    const std::string key = kind.key(shipped);
    const std::string& name = shipped.fields[kind.nameField];
    auto sameName = [&](const ListItem& i) { return i.fields[kind.nameField] == name; };
    auto same =
        FindIndex(list, [&](const ListItem& i) { return kind.key(i) == key && sameName(i); });
    if (same) return {Place::Same, *same};
    if (auto named = FindIndex(list, sameName)) return {Place::NameTaken, *named};
    ListItem joined = shipped;
    if (!GiveFreeKey(kind, list, joined)) return {Place::Left};
    list.push_back(std::move(joined));
    return {Place::Joined, list.size() - 1};
}

// What became of the shipped keys of a list: the key each goes by now.
using KeyMap = std::map<std::string, std::string>;

// Merges a list whose entries carry everything in their fields. True when
// the user's list changed.
bool MergeEntries(const ListKind& kind, std::vector<ListItem>& mine,
                  const std::vector<ListItem>& shipped, KeyMap& keys, UpdateMergeResult& result) {
    bool changed = false;
    for (const ListItem& entry : shipped) {
        Placement p = PlaceEntry(kind, mine, entry);
        if (p.place == Place::Left || p.place == Place::NameTaken) {
            ++result.kept;
        } else if (p.place == Place::Joined) {
            ++result.added;
            changed = true;
        } else if (mine[p.index].fields != entry.fields) {
            mine[p.index].fields = entry.fields;
            ++result.replaced;
            changed = true;
        }
        // A shipped entry left out names nothing, rather than a user's
        // entry that happens to have its key.
        keys[kind.key(entry)] = p.place == Place::Left ? "" : kind.key(mine[p.index]);
    }
    return changed;
}

bool IsNumberedKey(std::string_view key, std::string_view prefix) {
    if (key.size() <= prefix.size() || key.substr(0, prefix.size()) != prefix) return false;
    key.remove_prefix(prefix.size());
    return std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool NoOtherUse(const std::string&) {
    return false;
}

const ListKind kTemplates{
    cfg::kTemplateProfileFields,
    cfg::kTemplateName,
    [](const ListItem& i) { return std::to_string(i.id); },
    [](const std::string& key) { return std::atoi(key.c_str()) > 0; },
    NoOtherUse,
    [](ListItem& item, const std::vector<ListItem>& list) { item.id = ItemList::NextId(list); },
};

const ListKind kProviders{
    cfg::kProviderFields,
    tariff::kProviderName,
    [](const ListItem& i) { return i.fields[tariff::kProviderKey]; },
    [](const std::string& key) { return !key.empty(); },
    NoOtherUse,
    [](ListItem& item, const std::vector<ListItem>& list) {
        ItemList providers(cfg::kProviderFields);
        providers.Items() = list;
        item.fields[tariff::kProviderKey] = tariff::NextProviderKey(providers);
    },
};

// A plan's key names the section of its entries: it must be a key of the
// form the program makes, and no section that the configuration has yet.
ListKind PlanKind(const ProfileReader& config) {
    return ListKind{
        cfg::kTariffPlanFields,
        tariff::kPlanName,
        [](const ListItem& i) { return i.fields[tariff::kPlanKey]; },
        [](const std::string& key) { return IsNumberedKey(key, "CBCT_"); },
        [&config](const std::string& key) { return !config.KeyNames(key).empty(); },
        [](ListItem& item, const std::vector<ListItem>& list) {
            ItemList plans(cfg::kTariffPlanFields);
            plans.Items() = list;
            item.fields[tariff::kPlanKey] = tariff::NextPlanKey(plans);
        },
    };
}

bool MergeSimpleList(ProfileEditor& config, const ProfileReader& update, const ListKind& kind,
                     const std::string& section, KeyMap& keys, UpdateMergeResult& result) {
    std::vector<ListItem> mine = ReadList(config, section, kind.fieldCount);
    std::vector<ListItem> shipped = ReadList(update, section, kind.fieldCount);
    if (!MergeEntries(kind, mine, shipped, keys, result)) return true;
    return WriteList(config, section, mine);
}

// A shipped plan brings its entries, their providers named as they are
// named in the configuration now. A plan that is the user's plan in a newer
// version gets the shipped entries in place of the old ones.
bool MergePlans(ProfileEditor& config, const ProfileReader& update, const KeyMap& providerKeys,
                UpdateMergeResult& result) {
    const ListKind kind = PlanKind(config);
    const std::string section = cfg::kCallByCallTariffPlan;
    std::vector<ListItem> mine = ReadList(config, section, kind.fieldCount);
    bool plansChanged = false;
    for (const ListItem& plan : ReadList(update, section, kind.fieldCount)) {
        std::vector<ListItem> entries = ReadList(update, kind.key(plan), cfg::kTariffEntryFields);
        for (ListItem& entry : entries) {
            auto moved = providerKeys.find(entry.fields[tariff::kEntryProvider]);
            if (moved != providerKeys.end()) entry.fields[tariff::kEntryProvider] = moved->second;
        }
        Placement p = PlaceEntry(kind, mine, plan);
        if (p.place == Place::Left || p.place == Place::NameTaken) {
            ++result.kept;
            continue;
        }
        const std::string key = kind.key(mine[p.index]);
        if (p.place == Place::Joined) {
            ++result.added;
            plansChanged = true;
        } else if (Records(ReadList(config, key, cfg::kTariffEntryFields)) != Records(entries)) {
            ++result.replaced;
        } else {
            continue;
        }
        if (!WriteList(config, key, entries)) return false;
    }
    return !plansChanged || WriteList(config, section, mine);
}

// The user's layout stays while it has as many columns as the shipped one;
// a shipped layout with other columns comes whole, since the user's widths
// and order were for the old columns.
bool MergeLayout(ProfileEditor& config, const ProfileReader& update, const std::string& section,
                 UpdateMergeResult& result) {
    auto shipped = update.Get(section, ListLayout::kHiddenKey);
    if (!shipped) return true;
    auto mine = config.Get(section, ListLayout::kHiddenKey);
    if (mine && ParseIntList(*mine).size() == ParseIntList(*shipped).size()) return true;
    for (const char* key : ListLayout::kKeys) {
        auto value = update.Get(section, key);
        if (!value) {
            config.RemoveKey(section, key);
        } else if (!config.Set(section, key, *value)) {
            return false;
        }
    }
    ++result.layouts;
    return true;
}

bool MergeConfig(ProfileEditor& config, const ProfileReader& update, UpdateMergeResult& result) {
    KeyMap templateIds, providerKeys;
    return MergeSimpleList(config, update, kTemplates, cfg::kTemplateProfiles, templateIds,
                           result) &&
           MergeSimpleList(config, update, kProviders, cfg::kCallByCallProviders, providerKeys,
                           result) &&
           MergePlans(config, update, providerKeys, result) &&
           MergeLayout(config, update, cfg::kCallByCallProvidersLayout, result) &&
           MergeLayout(config, update, cfg::kCallByCallTariffLayout, result);
}

// The old-style address list of the update joins the address book; an
// entry whose id the book has is there already.
bool MergeAddresses(const ProfileReader& update, const std::string& xml, std::time_t now,
                    UpdateMergeResult& result) {
    std::vector<ListItem> old = ReadList(update, cfg::kOldAddressSection, cfg::kOldAddressFields);
    if (old.empty()) return true;
    AddressBook book;
    if (!book.Load(xml, now)) {
        result.message = WithPath(update_msg::kBookUnreadable, xml);
        return false;
    }
    for (const ListItem& item : old) {
        if (book.FindById(std::to_string(item.id))) continue;
        book.Add(OldAddressEntry(item, now));
        ++result.addresses;
    }
    if (result.addresses > 0 && !book.Save(xml)) {
        result.message = WithPath(update_msg::kBookNotSaved, xml);
        return false;
    }
    return true;
}

}  // namespace

UpdateMergeResult MergeUpdateFile(const std::string& updateFile, const std::string& configFile,
                                  const std::string& addressBookXml, std::time_t now) {
    std::string data;
    switch (ReadUpdate(updateFile, data)) {
        case UpdateText::Missing:
            return {};
        case UpdateText::Unreadable:
            return Failure(update_msg::kUnreadable, updateFile);
        case UpdateText::Damaged:
            return Failure(update_msg::kDamaged, updateFile);
        case UpdateText::Read:
            break;
    }
    ProfileDocument document;
    document.Parse(data);
    if (document.SectionNames().empty()) return Failure(update_msg::kDamaged, updateFile);
    const ProfileReader update(document);
    const std::string fingerprint = Fingerprint(data);

    auto current = ReadProfile(configFile);
    if (!current && errno != ENOENT) return Failure(update_msg::kConfigUnreadable, configFile);
    if (current && ProfileReader(*current).Get(cfg::kMergedUpdate.section,
                                               cfg::kMergedUpdate.key) == fingerprint) {
        return {};
    }

    // The address book goes first: should the configuration then fail, the
    // next start merges again, and the addresses are not added twice.
    UpdateMergeResult result;
    if (!MergeAddresses(update, addressBookXml, now, result)) {
        UpdateMergeResult failed;
        failed.message = result.message;
        return failed;
    }

    bool mergedBefore = false, editFailed = false;
    bool written = UpdatePrivateProfile(configFile, [&](ProfileEditor& config) {
        auto marked = config.Get(cfg::kMergedUpdate.section, cfg::kMergedUpdate.key);
        mergedBefore = marked == fingerprint;
        if (mergedBefore) return false;
        editFailed = !MergeConfig(config, update, result) ||
                     !config.Set(cfg::kMergedUpdate.section, cfg::kMergedUpdate.key, fingerprint);
        return !editFailed;
    });
    if (!written || editFailed) return Failure(update_msg::kConfigNotWritten, configFile);
    if (mergedBefore) return {};
    result.merged = true;
    return result;
}

UpdateMergeResult MergeUpdateFile() {
    return MergeUpdateFile(JoinPath(ProgramDir(), kUpdateFileName), SettingsFilePath(),
                           AddressBook::DefaultPath());
}
