// What the call-by-call settings pages and their dialogs decide: the lists
// as the user edits them, written back only when the page is confirmed, and
// the checks that keep a dialog open. Refusals and questions go through the
// message-box service; the GUI only shows the lists and collects the input.
// A record is named by its list item id; nullopt stands for "nothing
// selected" or, when storing, for a new record.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "item_list.h"
#include "settings_file.h"
#include "tariffs.h"

namespace tariff {

inline constexpr const char* kProviderExists = "Provider wurde bereits definiert!";
inline constexpr const char* kPlanExists = "Tarifplan wurde bereits definiert!";
inline constexpr const char* kEntryOverlaps = "Tariff überschneidet sich mit den anderen!";
inline constexpr const char* kWrongChoice = "Falsche Auswahl";
inline constexpr const char* kNotSelected = "Das Objekt kann nicht ausgewählt werden!";
inline constexpr const char* kProviderNotSelected = "Das Objekt kann nicht ausgawählt werden!";
inline constexpr const char* kAskDelete = "Möchten Sie den Eintrag für '%s' löschen?";
inline constexpr const char* kNotDeleted = "Da Objekt kann nicht gelöscht werden!";

inline constexpr std::array<const char*, 2> kProviderColumns{"Name", "Vorwahl"};
inline constexpr std::array<const char*, 6> kTariffColumns{"Nr.", "Von", "Bis",
                                                           "Von", "Bis", "Provider"};

// The delete question with the record's name.
std::string AskDeleteText(const std::string& name);

// The provider list page with its provider dialog.
class ProviderPage {
public:
    void Load(const SettingsFile& file);
    bool Save(const SettingsFile& file) const;
    const ItemList& List() const { return list_; }

    // The provider that "&Bearbeiten" opens; without one it says so.
    const ListItem* SelectForEdit(std::optional<int> id);
    // The provider dialog's OK. A new provider gets the next key, an edited
    // one keeps its key so that the plans naming it stay valid. A name that
    // another provider has is refused and the dialog stays open.
    bool Store(std::optional<int> id, const std::string& name, const std::string& prefix);
    // Asks first; false when the user says no or nothing is removed.
    bool Remove(std::optional<int> id);

private:
    ItemList list_{cfg::kProviderFields};
};

// The ranges chosen in the four lists of the entry dialog.
struct EntryRanges {
    int firstDay = 0, lastDay = kSunday, firstHour = 0, lastHour = kLastHour;
};
enum class RangeList { FirstDay, LastDay, FirstHour, LastHour };

// Called when one of the four lists changed. A choice that puts a first
// after its last is refused and the list just changed goes back to its
// widest value; false then, and ranges holds what the lists must show.
bool CheckRangeChoice(EntryRanges& ranges, RangeList changed);

// The tariff plan page: the plans, each plan's entries and the entry dialog.
class TariffPlanPage {
public:
    // The page offers the providers that the file holds now.
    void Load(const SettingsFile& file);
    // Writes the plans and every plan's entries; the entries of a deleted
    // plan go with it, so that a later plan given the same key starts empty.
    bool Save(const SettingsFile& file) const;
    const ItemList& Plans() const { return plans_; }
    // The providers that the entry dialog offers by name.
    void SetProviders(const ItemList& providers) { providers_ = providers; }
    const ItemList& Providers() const { return providers_; }

    const ListItem* SelectForEdit(std::optional<int> planId);
    // The plan dialog's OK: a new plan gets the next key, an edited one keeps it.
    bool StorePlan(std::optional<int> planId, const std::string& name);
    bool RemovePlan(std::optional<int> planId);

    // The entries of a plan; null for a key that no plan has.
    const ItemList* Entries(const std::string& planKey) const;
    // One row of the tariff list: number, weekdays, hours, provider name.
    std::vector<std::string> Row(const ListItem& entry) const;

    const ListItem* SelectEntryForEdit(const std::string& planKey, std::optional<int> entryId);
    // The entry dialog's OK. An empty number makes a new entry. The provider
    // is chosen by name; an entry whose hours meet another entry's on some
    // weekday is refused and the dialog stays open.
    bool StoreEntry(const std::string& planKey, const std::string& number,
                    const EntryRanges& ranges, const std::string& providerName);
    bool RemoveEntry(const std::string& planKey, std::optional<int> entryId);

private:
    ItemList* MutableEntries(const std::string& planKey);
    bool Overlaps(const ItemList& entries, const Entry& candidate) const;

    ItemList plans_{cfg::kTariffPlanFields};
    ItemList providers_{cfg::kProviderFields};
    std::map<std::string, ItemList> entries_;
    std::set<std::string> removedKeys_;
};

// The choices of a tariff plan list on a settings page: "Kein" with an
// empty key, then every plan by name.
struct PlanChoice {
    std::string name, key;
};
std::vector<PlanChoice> PlanChoices(const SettingsFile& file);
std::vector<PlanChoice> PlanChoices(const ItemList& plans);

}  // namespace tariff
