// The address list of earlier versions: an item list in the file
// "AddrBook.dat" beside the configuration, taken over into the XML address
// book once.
#pragma once

#include <ctime>
#include <string>

#include "address_book.h"
#include "item_list.h"

namespace old_address {
// Fields of an old entry.
inline constexpr size_t kName = 0, kIsdn = 1, kD1 = 2, kD2 = 3, kEPlus = 4, kComments = 5;
}  // namespace old_address

// The address that an old entry becomes: its id, its name as nick and last
// name (a "&" from its menu days made a space), the ISDN number as private
// and the last of the mobile numbers as mobile number, the comments.
Address OldAddressEntry(const ListItem& item, std::time_t now);

// Appends every entry of the old list to the XML address book and marks the
// old file as converted; does nothing once it is marked. An XML book that
// cannot be read is said so and kept beside as xmlPath + ".bak" before the
// converted book takes its place. False when the conversion is still to do.
bool ConvertOldAddressList(const std::string& oldFile, const std::string& xmlPath,
                           std::time_t now = std::time(nullptr));
// With the installed files: "AddrBook.dat" in the installation directory and
// "AddrBook.xml" in the data directory.
bool ConvertOldAddressList();
