#include "tariffs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "config_keys.h"

namespace tariff {

namespace {

int Number(const std::string& text) {
    return std::atoi(text.c_str());
}

// The number that a key ends with. All its trailing digits count, not only
// the last two: from the hundredth provider on, two digits would give an
// existing key again and two providers would share one.
int TrailingNumber(const std::string& key) {
    size_t start = key.size();
    while (start > 0 && std::isdigit(static_cast<unsigned char>(key[start - 1]))) --start;
    return Number(key.substr(start));
}

std::string NextKey(const ItemList& list, size_t field, const char* format) {
    int largest = 0;
    for (const ListItem& item : list.Items())
        largest = std::max(largest, TrailingNumber(item.fields[field]));
    char key[32];
    std::snprintf(key, sizeof key, format, largest + 1);
    return key;
}

std::string HourText(int hour, const char* minutes) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%s", hour, minutes);
    return text;
}

}  // namespace

WeekHour LocalWeekHour(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    // The C library counts from Sunday; a tariff week starts on Monday.
    return WeekHour{(local.tm_wday + kSunday) % 7, local.tm_hour};
}

bool Entry::Covers(WeekHour at) const {
    return firstDay <= at.weekday && at.weekday <= lastDay && firstHour <= at.hour &&
           at.hour <= lastHour;
}

bool Entry::Overlaps(const Entry& other) const {
    return firstDay <= other.lastDay && other.firstDay <= lastDay && firstHour <= other.lastHour &&
           other.firstHour <= lastHour;
}

ListItem Entry::ToItem(int id) const {
    return ListItem{id,
                    {number, std::to_string(firstDay), std::to_string(lastDay),
                     std::to_string(firstHour), std::to_string(lastHour), providerKey}};
}

Entry Entry::FromItem(const ListItem& item) {
    const auto& f = item.fields;
    return Entry{f[kEntryNumber],           Number(f[kEntryFirstDay]),
                 Number(f[kEntryLastDay]),  Number(f[kEntryFirstHour]),
                 Number(f[kEntryLastHour]), f[kEntryProvider]};
}

std::vector<Entry> LoadEntries(const SettingsFile& file, const std::string& planKey) {
    std::vector<Entry> entries;
    if (planKey.empty()) return entries;
    ItemList list(cfg::kTariffEntryFields);
    list.Load(file, planKey);
    for (const ListItem& item : list.Items()) entries.push_back(Entry::FromItem(item));
    return entries;
}

std::string ProviderPrefix(const SettingsFile& file, const std::string& providerKey) {
    if (providerKey.empty()) return "";
    ItemList providers(cfg::kProviderFields);
    providers.Load(file, cfg::kCallByCallProviders);
    const ListItem* provider = providers.FindByField(kProviderKey, providerKey);
    return provider ? provider->fields[kProviderPrefix] : "";
}

std::string PrefixAt(const SettingsFile& file, const std::string& planKey, std::time_t when) {
    WeekHour now = LocalWeekHour(when);
    for (const Entry& entry : LoadEntries(file, planKey)) {
        if (entry.Covers(now)) return ProviderPrefix(file, entry.providerKey);
    }
    return "";
}

std::string PrefixForNow(const SettingsFile& file, const std::string& planKey) {
    return PrefixAt(file, planKey, std::time(nullptr));
}

std::string NextProviderKey(const ItemList& providers) {
    return NextKey(providers, kProviderKey, "CBCP_%02d");
}

std::string NextPlanKey(const ItemList& plans) {
    return NextKey(plans, kPlanKey, "CBCT_%02d");
}

std::string NextEntryNumber(const ItemList& entries) {
    int largest = 0;
    for (const ListItem& item : entries.Items())
        largest = std::max(largest, Number(item.fields[kEntryNumber]));
    return std::to_string(largest + 1);
}

std::string FirstHourText(int hour) {
    return HourText(hour, "00");
}

std::string LastHourText(int hour) {
    return HourText(hour, "59");
}

}  // namespace tariff
