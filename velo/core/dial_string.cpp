#include "dial_string.h"

#include "config_keys.h"
#include "mobile_networks.h"
#include "tariffs.h"

namespace {

std::string_view WithoutLeadingBlanks(std::string_view number) {
    while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
    return number;
}

}  // namespace

bool IsDiallableNumber(std::string_view number) {
    number = WithoutLeadingBlanks(number);
    if (!number.empty() && number.front() == '+') number.remove_prefix(1);
    bool digit = false;
    for (char c : number) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c != ' ' && c != '-' && c != '/' && c != '(' && c != ')') {
            return false;
        }
    }
    return digit;
}

std::string DialledDigits(std::string_view number) {
    number = WithoutLeadingBlanks(number);
    if (!number.empty() && number.front() == '+') return "00" + DigitsOf(number.substr(1));
    return DigitsOf(number);
}

std::string DialString(const SettingsFile& settings, const std::string& planKey,
                       std::string_view number, std::time_t when) {
    return settings.Read(cfg::kIsdnPrefix) + tariff::PrefixAt(settings, planKey, when) +
           DialledDigits(number);
}
