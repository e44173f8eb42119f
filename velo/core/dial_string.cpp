#include "dial_string.h"

#include "config_keys.h"
#include "mobile_networks.h"
#include "tariffs.h"

std::string DialString(const SettingsFile& settings, const std::string& planKey,
                       std::string_view number, std::time_t when) {
    return settings.Read(cfg::kIsdnPrefix) + tariff::PrefixAt(settings, planKey, when) +
           DigitsOf(number);
}
