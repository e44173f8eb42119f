#include "tariffs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "config_keys.h"

namespace tariff {

namespace {

int Number(const std::string& text) {
    return std::atoi(text.c_str());
}

// A number written in a settings file, as C reads it but held at the ends
// of the range: a key or number written by hand may have any many digits.
long long LongNumber(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

// The number that a key ends with. All its trailing digits count, not only
// the last two: from the hundredth provider on, two digits would give an
// existing key again and two providers would share one.
long long TrailingNumber(const std::string& key) {
    size_t start = key.size();
    while (start > 0 && std::isdigit(static_cast<unsigned char>(key[start - 1]))) --start;
    return LongNumber(key.substr(start));
}

// The number after the largest in use; the smallest free one when there is
// no number after it, which only a hand-written number can bring about.
long long NextFree(const std::vector<long long>& used) {
    long long largest = 0;
    for (long long n : used) largest = std::max(largest, n);
    if (largest < std::numeric_limits<long long>::max()) return largest + 1;
    long long n = 1;
    while (std::find(used.begin(), used.end(), n) != used.end()) ++n;
    return n;
}

std::string NextKey(const ItemList& list, size_t field, const char* format) {
    std::vector<long long> used;
    for (const ListItem& item : list.Items()) used.push_back(TrailingNumber(item.fields[field]));
    char key[48];
    std::snprintf(key, sizeof key, format, NextFree(used));
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
    return NextKey(providers, kProviderKey, "CBCP_%02lld");
}

std::string NextPlanKey(const ItemList& plans) {
    return NextKey(plans, kPlanKey, "CBCT_%02lld");
}

std::string NextEntryNumber(const ItemList& entries) {
    std::vector<long long> used;
    for (const ListItem& item : entries.Items())
        used.push_back(LongNumber(item.fields[kEntryNumber]));
    return std::to_string(NextFree(used));
}

std::string FirstHourText(int hour) {
    return HourText(hour, "00");
}

std::string LastHourText(int hour) {
    return HourText(hour, "59");
}

}  // namespace tariff
