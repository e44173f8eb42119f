// Call-by-call tariffs: providers with their access prefixes, and tariff
// plans whose entries name the provider to dial through for a range of
// weekdays and hours. Everything lives in the settings file as item lists
// and is read anew for every lookup, so a change on the settings pages
// applies to the next call at once.
#pragma once

#include <array>
#include <ctime>
#include <string>
#include <vector>

#include "item_list.h"
#include "settings_file.h"

namespace tariff {

// Fields of a provider (list "CallByCallProviders").
inline constexpr size_t kProviderKey = 0, kProviderName = 1, kProviderPrefix = 2;
// Fields of a tariff plan (list "CallByCallTariffPlan").
inline constexpr size_t kPlanName = 0, kPlanKey = 1;
// Fields of a tariff entry (list in the section named by its plan's key).
inline constexpr size_t kEntryNumber = 0, kEntryFirstDay = 1, kEntryLastDay = 2,
                        kEntryFirstHour = 3, kEntryLastHour = 4, kEntryProvider = 5;

inline constexpr int kSunday = 6;
inline constexpr int kLastHour = 23;
inline constexpr std::array<const char*, 7> kDayNames{"Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};

// A weekday 0 Monday ... 6 Sunday and an hour 0 to 23.
struct WeekHour {
    int weekday = 0;
    int hour = 0;
};

// The local weekday and hour of when; minutes do not matter to a tariff.
WeekHour LocalWeekHour(std::time_t when);

// A tariff entry with its ranges as numbers.
struct Entry {
    std::string number;
    int firstDay = 0, lastDay = kSunday, firstHour = 0, lastHour = kLastHour;
    std::string providerKey;

    bool Covers(WeekHour at) const;
    // Both ranges intersect, ends included.
    bool Overlaps(const Entry& other) const;
    ListItem ToItem(int id) const;
    static Entry FromItem(const ListItem& item);
};

// The entries of a plan in stored order; an empty key has none.
std::vector<Entry> LoadEntries(const SettingsFile& file, const std::string& planKey);

// The prefix of the provider with this key, "" when there is none.
std::string ProviderPrefix(const SettingsFile& file, const std::string& providerKey);
// The prefix to dial under the plan at the given moment: the first entry
// that covers the weekday and hour names the provider. "" for no plan, no
// entry for that hour or a provider that is gone: the number is then dialled
// without a call-by-call prefix.
std::string PrefixAt(const SettingsFile& file, const std::string& planKey, std::time_t when);
std::string PrefixForNow(const SettingsFile& file, const std::string& planKey);

// Keys for a new record. A provider and a plan are numbered one above the
// largest number that ends any of the existing keys; an entry one above the
// largest entry number of its plan.
std::string NextProviderKey(const ItemList& providers);
std::string NextPlanKey(const ItemList& plans);
std::string NextEntryNumber(const ItemList& entries);

// The texts of the range lists: "08:00" in the first-hour list, "08:59" in
// the last-hour list.
std::string FirstHourText(int hour);
std::string LastHourText(int hour);

}  // namespace tariff
