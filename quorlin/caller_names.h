// The name a telephone call is filed with: that of the address book's entry
// that has the caller's number.
#pragma once

#include <string>
#include <string_view>

#include "address_book.h"

// A typed number in the form a German telephone shows the caller: national
// numbers with their "0", numbers of other countries with "00", a number
// without area code as it is. countryCode ("+49", "0033", "") counts only for
// a number that has neither an area code with "0" nor a country code itself.
std::string NationalForm(std::string_view countryCode, std::string_view typed);

// The entry's nick, else its first and last name; "" when it has none.
std::string DisplayName(const Address& address);

// The name of the first entry with a telephone number equal to number (as
// the call monitor reports it); a number without area code also matches an
// entry's number typed without one. "" when no entry has it.
std::string NameForNumber(const AddressBook& book, const std::string& number);

// The same with the book in the file at path, read anew for every call so
// that entries added while quorlin runs count; "" when it cannot be read.
std::string CallerName(const std::string& path, const std::string& number);
