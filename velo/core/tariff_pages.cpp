#include "tariff_pages.h"

#include <algorithm>

#include "app_caption.h"
#include "config_keys.h"
#include "msgbox.h"
#include "profile.h"

namespace tariff {

namespace {

void Refuse(const char* text, unsigned icon = MB_ICONEXCLAMATION) {
    ShowMessageBox(text, kAppCaption, MB_OK | icon);
}

ListItem* FindItem(ItemList& list, std::optional<int> id) {
    return id ? list.FindById(*id) : nullptr;
}

// Another record than the one being edited already has text in field.
bool TakenByOther(const ItemList& list, size_t field, const std::string& text,
                  std::optional<int> editing) {
    return std::any_of(list.Items().begin(), list.Items().end(), [&](const ListItem& item) {
        return item.fields[field] == text && (!editing || item.id != *editing);
    });
}

// Asks the delete question for the record and removes it on yes.
bool AskAndErase(ItemList& list, std::optional<int> id, size_t nameField) {
    ListItem* item = FindItem(list, id);
    if (!id) {
        Refuse(kNotSelected);
        return false;
    }
    if (!item) {
        Refuse(kNotDeleted);
        return false;
    }
    int answer = ShowMessageBox(AskDeleteText(item->fields[nameField]), kAppCaption,
                                MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES) return false;
    auto& items = list.Items();
    items.erase(items.begin() + (item - items.data()));
    return true;
}

const ListItem* Select(ItemList& list, std::optional<int> id, const char* refusal) {
    const ListItem* item = FindItem(list, id);
    if (!item) Refuse(refusal);
    return item;
}

bool ValidRanges(const EntryRanges& r) {
    return 0 <= r.firstDay && r.firstDay <= r.lastDay && r.lastDay <= kSunday && 0 <= r.firstHour &&
           r.firstHour <= r.lastHour && r.lastHour <= kLastHour;
}

// A list written as ItemList::Save writes it, as one part of a larger edit.
bool WriteList(ProfileEditor& file, const std::string& section, const ItemList& list) {
    std::vector<std::string> records;
    for (const ListItem& item : list.Items()) records.push_back(ItemList::FormatRecord(item));
    return ItemList::WriteRecords(file, section, records);
}

}  // namespace

std::string AskDeleteText(const std::string& name) {
    std::string text = kAskDelete;
    return text.replace(text.find("%s"), 2, name);
}

void ProviderPage::Load(const SettingsFile& file) {
    list_.Load(file, cfg::kCallByCallProviders);
}

bool ProviderPage::Save(const SettingsFile& file) const {
    return list_.Save(file, cfg::kCallByCallProviders);
}

const ListItem* ProviderPage::SelectForEdit(std::optional<int> id) {
    return Select(list_, id, kProviderNotSelected);
}

bool ProviderPage::Store(std::optional<int> id, const std::string& name,
                         const std::string& prefix) {
    ListItem* item = FindItem(list_, id);
    if (id && !item) {
        Refuse(kProviderNotSelected);
        return false;
    }
    if (TakenByOther(list_, kProviderName, name, id)) {
        Refuse(kProviderExists, MB_ICONSTOP);
        return false;
    }
    if (!item) {
        std::string key = NextProviderKey(list_);
        item = &list_.Add();
        item->fields[kProviderKey] = key;
    }
    item->fields[kProviderName] = name;
    item->fields[kProviderPrefix] = prefix;
    return true;
}

bool ProviderPage::Remove(std::optional<int> id) {
    return AskAndErase(list_, id, kProviderName);
}

bool CheckRangeChoice(EntryRanges& r, RangeList changed) {
    if (r.firstDay <= r.lastDay && r.firstHour <= r.lastHour) return true;
    Refuse(kWrongChoice, MB_ICONSTOP);
    switch (changed) {
        case RangeList::FirstDay:
            r.firstDay = 0;
            break;
        case RangeList::LastDay:
            r.lastDay = kSunday;
            break;
        case RangeList::FirstHour:
            r.firstHour = 0;
            break;
        case RangeList::LastHour:
            r.lastHour = kLastHour;
            break;
    }
    return false;
}

void TariffPlanPage::Load(const SettingsFile& file) {
    plans_.Load(file, cfg::kCallByCallTariffPlan);
    providers_.Load(file, cfg::kCallByCallProviders);
    entries_.clear();
    removedKeys_.clear();
    for (const ListItem& plan : plans_.Items()) {
        ItemList entries(cfg::kTariffEntryFields);
        const std::string& key = plan.fields[kPlanKey];
        if (!key.empty()) entries.Load(file, key);
        entries_.insert_or_assign(key, std::move(entries));
    }
}

bool TariffPlanPage::Save(const SettingsFile& file) const {
    // One replace of the file: a save cut short leaves the plans as they
    // were, never a plan list beside the entries of another moment, nor
    // the entries of a deleted plan for a new plan of its key to inherit.
    return UpdatePrivateProfile(file.Path(), [&](ProfileEditor& e) {
        if (!WriteList(e, cfg::kCallByCallTariffPlan, plans_)) return false;
        for (const auto& [key, entries] : entries_) {
            if (!key.empty() && !WriteList(e, key, entries)) return false;
        }
        for (const std::string& key : removedKeys_) {
            if (!entries_.count(key)) e.RemoveSection(key);
        }
        return true;
    });
}

const ListItem* TariffPlanPage::SelectForEdit(std::optional<int> planId) {
    return Select(plans_, planId, kNotSelected);
}

bool TariffPlanPage::StorePlan(std::optional<int> planId, const std::string& name) {
    ListItem* plan = FindItem(plans_, planId);
    if (planId && !plan) {
        Refuse(kNotSelected);
        return false;
    }
    if (TakenByOther(plans_, kPlanName, name, planId)) {
        Refuse(kPlanExists, MB_ICONSTOP);
        return false;
    }
    if (!plan) {
        std::string key = NextPlanKey(plans_);
        plan = &plans_.Add();
        plan->fields[kPlanKey] = key;
        entries_.insert_or_assign(key, ItemList(cfg::kTariffEntryFields));
    }
    plan->fields[kPlanName] = name;
    return true;
}

bool TariffPlanPage::RemovePlan(std::optional<int> planId) {
    const ListItem* plan = planId ? plans_.FindById(*planId) : nullptr;
    std::string key = plan ? plan->fields[kPlanKey] : "";
    if (!AskAndErase(plans_, planId, kPlanName)) return false;
    if (!plans_.FindByField(kPlanKey, key)) {
        entries_.erase(key);
        if (!key.empty()) removedKeys_.insert(key);
    }
    return true;
}

const ItemList* TariffPlanPage::Entries(const std::string& planKey) const {
    auto it = entries_.find(planKey);
    return it == entries_.end() ? nullptr : &it->second;
}

ItemList* TariffPlanPage::MutableEntries(const std::string& planKey) {
    auto it = entries_.find(planKey);
    return it == entries_.end() ? nullptr : &it->second;
}

std::vector<std::string> TariffPlanPage::Row(const ListItem& item) const {
    Entry e = Entry::FromItem(item);
    auto day = [](int d) { return 0 <= d && d <= kSunday ? kDayNames[d] : ""; };
    std::string provider;
    for (const ListItem& p : providers_.Items()) {
        if (p.fields[kProviderKey] == e.providerKey) {
            provider = p.fields[kProviderName];
            break;
        }
    }
    return {e.number,
            day(e.firstDay),
            day(e.lastDay),
            FirstHourText(e.firstHour),
            LastHourText(e.lastHour),
            provider};
}

const ListItem* TariffPlanPage::SelectEntryForEdit(const std::string& planKey,
                                                   std::optional<int> entryId) {
    ItemList* entries = MutableEntries(planKey);
    if (!entries) {
        Refuse(kNotSelected);
        return nullptr;
    }
    return Select(*entries, entryId, kNotSelected);
}

bool TariffPlanPage::Overlaps(const ItemList& entries, const Entry& candidate) const {
    return std::any_of(entries.Items().begin(), entries.Items().end(), [&](const ListItem& item) {
        Entry other = Entry::FromItem(item);
        return other.number != candidate.number && other.Overlaps(candidate);
    });
}

bool TariffPlanPage::StoreEntry(const std::string& planKey, const std::string& number,
                                const EntryRanges& ranges, const std::string& providerName) {
    ItemList* entries = MutableEntries(planKey);
    if (!entries) {
        Refuse(kNotSelected);
        return false;
    }
    if (!ValidRanges(ranges)) {
        Refuse(kWrongChoice, MB_ICONSTOP);
        return false;
    }
    const ListItem* provider = providers_.FindByField(kProviderName, providerName);
    if (!provider) {
        Refuse(kNotSelected);
        return false;
    }
    Entry entry{number.empty() ? NextEntryNumber(*entries) : number,
                ranges.firstDay,
                ranges.lastDay,
                ranges.firstHour,
                ranges.lastHour,
                provider->fields[kProviderKey]};
    if (Overlaps(*entries, entry)) {
        Refuse(kEntryOverlaps);
        return false;
    }
    ListItem* existing = entries->FindByField(kEntryNumber, entry.number);
    int id = existing ? existing->id : ItemList::NextId(entries->Items());
    ListItem item = entry.ToItem(id);
    if (existing) {
        *existing = std::move(item);
    } else {
        entries->Items().push_back(std::move(item));
    }
    return true;
}

bool TariffPlanPage::RemoveEntry(const std::string& planKey, std::optional<int> entryId) {
    ItemList* entries = MutableEntries(planKey);
    if (!entries) {
        Refuse(kNotSelected);
        return false;
    }
    return AskAndErase(*entries, entryId, kEntryNumber);
}

std::vector<PlanChoice> PlanChoices(const SettingsFile& file) {
    ItemList plans(cfg::kTariffPlanFields);
    plans.Load(file, cfg::kCallByCallTariffPlan);
    return PlanChoices(plans);
}

std::vector<PlanChoice> PlanChoices(const ItemList& plans) {
    std::vector<PlanChoice> choices{{"Kein", ""}};
    for (const ListItem& plan : plans.Items())
        choices.push_back({plan.fields[kPlanName], plan.fields[kPlanKey]});
    return choices;
}

}  // namespace tariff
