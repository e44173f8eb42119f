#include "caller_names.h"

#include "mobile_networks.h"

namespace {

constexpr std::string_view kHomeCountry = "49";

std::string FromInternational(const std::string& digits) {
    if (digits.starts_with(kHomeCountry)) return "0" + digits.substr(kHomeCountry.size());
    return "00" + digits;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

std::string Joined(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return a + b;
    return a + " " + b;
}

bool Matches(const PhoneNumber& phone, const std::string& number) {
    if (!phone.present) return false;
    if (NationalForm(phone.countryCode, phone.prefix + " " + phone.number) == number) return true;
    // A caller from the same area may come without the area code.
    return !number.starts_with("0") && DigitsOf(phone.number) == number;
}

}  // namespace

std::string NationalForm(std::string_view countryCode, std::string_view typed) {
    typed = Trimmed(typed);
    std::string digits = DigitsOf(typed);
    if (digits.empty()) return "";
    if (typed.starts_with("+")) return FromInternational(digits);
    if (digits.starts_with("00")) return FromInternational(digits.substr(2));
    if (digits.starts_with("0")) return digits;
    std::string country = DigitsOf(countryCode);
    if (country.starts_with("00")) country = country.substr(2);
    if (country.empty()) return digits;
    return FromInternational(country + digits);
}

std::string DisplayName(const Address& address) {
    if (!address.nick.empty()) return address.nick;
    return Joined(address.firstname, address.lastname);
}

std::string NameForNumber(const AddressBook& book, const std::string& number) {
    if (number.empty()) return "";
    for (const Address& address : book.Addresses()) {
        for (const PhoneNumber& phone : address.phones) {
            if (Matches(phone, number)) return DisplayName(address);
        }
    }
    return "";
}

std::string CallerName(const std::string& path, const std::string& number) {
    if (number.empty()) return "";
    AddressBook book;
    if (!book.Load(path)) return "";
    return NameForNumber(book, number);
}
