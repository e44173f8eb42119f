// The address book: the user's contacts with postal data, four telephone
// numbers, e-mail and web address and comments, and the column layout of
// the address list, all in one XML file.
#pragma once

#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct PhoneNumber {
    // Set once the number was entered or read; a number without it is not written.
    bool present = false;
    std::string countryCode, prefix, number;

    // "0221 123456"
    std::string Text() const;
    // "+49 0221 123456"
    std::string LongText() const;
};

enum PhoneType : size_t { kPhonePrivate, kPhoneBusiness, kPhoneFax, kPhoneMobile, kPhoneTypes };

struct Address {
    // Seconds since 1970 when the entry was made, in decimal; not unique.
    std::string id;
    std::string nick, firstname, lastname, address1, address2, zipCode, city, country;
    std::array<PhoneNumber, kPhoneTypes> phones;
    std::string email, webServer, comments;
    std::time_t lastChange = 0;

    // A new entry: its id and last change are the moment it is made.
    static Address MadeAt(std::time_t now);
};

// The seven layout texts of the address list, one integer per column
// separated by "," where they are lists.
struct AddressLayout {
    std::string colHidden = "1,1,1,1,1,1,1,1,1,1,1";
    std::string colEnable = "1,1,1,1,1,1,1,1,1,1,1";
    std::string colOrder = "0,1,2,3,4,5,6,7,8,9,10";
    std::string colSize = "58,70,76,85,85,185,60,60,60,60,60";
    std::string colSort = "0";
    std::string sortCol = "0";
    std::string sortDir = "0";
};

inline constexpr size_t kAddressColumnCount = 11;
inline constexpr std::array<const char*, kAddressColumnCount> kAddressColumns{
    "Nick",        "Name",          "Anschrift", "Stadt", "Land",       "Email",
    "Tel. Privat", "Tel. Geschäft", "Fax",       "Handy", "Bemerkungen"};

// What the address list shows, taken from the layout: the columns in
// display order with their widths, and where the sort marker goes.
struct AddressListView {
    struct Column {
        size_t column;
        int width;
    };
    std::vector<Column> columns;
    size_t sortColumn = 0;
    int sortDir = 0;
};
AddressListView ListViewOf(const AddressLayout& layout);
// The text of an address in one column of the list.
std::string ColumnText(const Address& address, size_t column);

namespace address_msg {
inline constexpr const char* kCannotRead = "Addressbuch kann nicht gelesen werden!";
inline constexpr const char* kCannotSave = "Addressbuch kann nicht gespeichert werden!";
inline constexpr const char* kNotSelected = "Adresse kann nicht ausgewählt werden!";
inline constexpr const char* kAskDelete = "Soll die Addresse '%s' gelöscht werden?";
inline constexpr const char* kNotDeleted = "Eintrag kann nicht gelöscht werden";
inline constexpr const char* kXmlErrorCaption = "ERROR";
inline constexpr const char* kAskKeepRecipient =
    "Soll die vorliegende Adresse in das Adressbuch eingetragen werden?";
}  // namespace address_msg

class AddressBook {
public:
    // "AddrBook.xml" in the data directory.
    static std::string DefaultPath();
    // path, or "addrbook.xml" in the installation directory when it is empty.
    static std::string ResolvePath(const std::string& path);

    // Reads the file; an entry without an id or last change gets now. A
    // file that does not exist yet is an empty book. A file that does not
    // parse is reported in an "ERROR" box and leaves the book as it was.
    bool Load(const std::string& path, std::time_t now = std::time(nullptr));
    // Replaces the file at once, so that a failure leaves the old one whole.
    bool Save(const std::string& path) const;
    // The XML text that Save writes.
    std::string Text() const;

    // What the address window does on opening: a book that cannot be read
    // is said so and left empty.
    bool LoadForWindow(const std::string& path, std::time_t now = std::time(nullptr));
    // Saving when the address window is confirmed; a failure is said so.
    bool SaveForWindow(const std::string& path) const;

    std::vector<Address>& Addresses() { return addresses_; }
    const std::vector<Address>& Addresses() const { return addresses_; }
    AddressLayout& Layout() { return layout_; }
    const AddressLayout& Layout() const { return layout_; }

    Address& Add(Address address);
    // The entry that editing opens; without a selection it says so.
    Address* SelectForEdit(std::optional<size_t> index);
    // Asks with the entry's nick first; false when the answer is no.
    bool AskAndRemove(std::optional<size_t> index);
    // The first entry with this id, or with a number of these digits.
    std::optional<size_t> FindById(std::string_view id) const;
    std::optional<size_t> FindByNumber(std::string_view number) const;

private:
    std::vector<Address> addresses_;
    AddressLayout layout_;
};

// The composer's offer for a recipient number that no entry of the book at
// path has: on yes the name and number become a new entry (a mobile number
// as mobile number, any other as private one) and the book is saved. True
// when the book holds the number afterwards.
bool OfferToKeepRecipient(const std::string& path, const std::string& name,
                          const std::string& number, std::time_t now = std::time(nullptr));
