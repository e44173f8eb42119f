#include "old_address_list.h"

#include <cstdio>

#include "address_book.h"
#include "app_caption.h"
#include "config_keys.h"
#include "item_list.h"
#include "msgbox.h"
#include "paths.h"
#include "settings_file.h"

namespace {

// An old name may carry a "&" from the time it was a menu accelerator.
std::string WithoutAmpersand(std::string name) {
    size_t amp = name.find('&');
    if (amp != std::string::npos) name[amp] = ' ';
    return name;
}

PhoneNumber GermanNumber(const std::string& number) {
    return PhoneNumber{true, "+49", "", number};
}

}  // namespace

Address OldAddressEntry(const ListItem& item, std::time_t now) {
    const auto& f = item.fields;
    Address address = Address::MadeAt(now);
    address.id = std::to_string(item.id);
    address.nick = address.lastname = WithoutAmpersand(f[old_address::kName]);
    if (!f[old_address::kIsdn].empty())
        address.phones[kPhonePrivate] = GermanNumber(f[old_address::kIsdn]);
    for (size_t mobile : {old_address::kD1, old_address::kD2, old_address::kEPlus}) {
        if (!f[mobile].empty()) address.phones[kPhoneMobile] = GermanNumber(f[mobile]);
    }
    address.comments = f[old_address::kComments];
    return address;
}

namespace {

// The unreadable book stays on disk for the user to repair.
bool KeepUnreadable(AddressBook& book, const std::string& xmlPath) {
    ShowMessageBox(address_msg::kCannotRead, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
    book = AddressBook{};
    return std::rename(xmlPath.c_str(), (xmlPath + ".bak").c_str()) == 0;
}

}  // namespace

bool ConvertOldAddressList(const std::string& oldFile, const std::string& xmlPath,
                           std::time_t now) {
    SettingsFile old(oldFile);
    if (old.Read(cfg::kOldAddressConverted) == "1") return true;
    ItemList list(cfg::kOldAddressFields);
    list.Load(old, cfg::kOldAddressSection);
    AddressBook book;
    if (!book.Load(xmlPath, now) && !KeepUnreadable(book, xmlPath)) return false;
    for (const ListItem& item : list.Items()) book.Add(OldAddressEntry(item, now));
    // Marked only once the entries are safe in the new book, so that a
    // failed save is tried again at the next start.
    if (!book.SaveForWindow(xmlPath)) return false;
    return old.Write(cfg::kOldAddressConverted, "1");
}

bool ConvertOldAddressList() {
    return ConvertOldAddressList(JoinPath(InstallDir(), cfg::kOldAddressFile),
                                 AddressBook::DefaultPath());
}
