#include "address_book.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <pugixml.hpp>
#include <span>
#include <sstream>

#include "app_caption.h"
#include "atomic_file.h"
#include "field_text.h"
#include "locations.h"
#include "mobile_networks.h"
#include "msgbox.h"
#include "paths.h"
#include "utf8.h"

namespace {

constexpr const char* kLastChangeFormat = "%d.%m.%y %H:%M:%S";
constexpr int kNarrowestColumn = 11;
constexpr int kReplacedWidth = 50;
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata;

struct PhoneTag {
    PhoneType type;
    const char* name;
};
constexpr std::array<PhoneTag, kPhoneTypes> kPhoneTags{{{kPhonePrivate, "home"},
                                                        {kPhoneBusiness, "business"},
                                                        {kPhoneFax, "fax"},
                                                        {kPhoneMobile, "mobile"}}};

// The text fields of an address with their element names: the postal ones
// come before the telephone numbers in the file, the others after them.
struct TextField {
    const char* name;
    std::string Address::*field;
};
constexpr std::array<TextField, 11> kTextFields{{{"nick", &Address::nick},
                                                 {"firstname", &Address::firstname},
                                                 {"lastname", &Address::lastname},
                                                 {"address1", &Address::address1},
                                                 {"address2", &Address::address2},
                                                 {"zip_code", &Address::zipCode},
                                                 {"city", &Address::city},
                                                 {"country", &Address::country},
                                                 {"email", &Address::email},
                                                 {"web_server", &Address::webServer},
                                                 {"comments", &Address::comments}}};
constexpr std::span<const TextField> kPostalFields = std::span(kTextFields).first(8);
constexpr std::span<const TextField> kOnlineFields = std::span(kTextFields).last(3);

struct LayoutField {
    const char* name;
    std::string AddressLayout::*field;
};
constexpr std::array<LayoutField, 7> kLayoutFields{{{"colHidden", &AddressLayout::colHidden},
                                                    {"colEnable", &AddressLayout::colEnable},
                                                    {"colOrder", &AddressLayout::colOrder},
                                                    {"colSize", &AddressLayout::colSize},
                                                    {"colSort", &AddressLayout::colSort},
                                                    {"sortCol", &AddressLayout::sortCol},
                                                    {"sortDir", &AddressLayout::sortDir}}};

// Whatever the user types must keep the file well-formed. The quote is
// escaped as well because an id read from a file is written back inside
// single quotes.
std::string Escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void OpenLine(std::string& out, std::string_view tag) {
    out.append("<").append(tag).append(">\n");
}

void CloseLine(std::string& out, std::string_view name) {
    out.append("</").append(name).append(">\n");
}

void ValueLine(std::string& out, std::string_view name, std::string_view value) {
    out.append("<").append(name).append(">").append(Escaped(value));
    out.append("</").append(name).append(">\n");
}

std::string TagWithAttribute(const char* tag, const char* attribute, std::string_view value) {
    return std::string(tag) + " " + attribute + "='" + Escaped(value) + "'";
}

std::string FormatTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[64];
    std::strftime(text, sizeof text, kLastChangeFormat, &local);
    return text;
}

std::optional<std::time_t> ParseTime(const char* text) {
    std::tm tm{};
    if (std::sscanf(text, "%d.%d.%d %d:%d:%d", &tm.tm_mday, &tm.tm_mon, &tm.tm_year, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec) != 6)
        return std::nullopt;
    // Far beyond any date a field would overflow on its way to mktime; such
    // a time is none, as text that is no time is.
    constexpr int kLimit = 1000000;
    for (int field : {tm.tm_mday, tm.tm_mon, tm.tm_year, tm.tm_hour, tm.tm_min, tm.tm_sec}) {
        if (field < -kLimit || field > kLimit) return std::nullopt;
    }
    tm.tm_mon -= 1;
    tm.tm_year += 2000 - 1900;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

void AppendAddress(std::string& out, const Address& a) {
    OpenLine(out, TagWithAttribute("address_item", "id", a.id));
    for (const TextField& f : kPostalFields) ValueLine(out, f.name, a.*f.field);
    for (const PhoneTag& tag : kPhoneTags) {
        const PhoneNumber& phone = a.phones[tag.type];
        if (!phone.present) continue;
        OpenLine(out, TagWithAttribute("phone", "type", tag.name));
        ValueLine(out, "country_code", phone.countryCode);
        ValueLine(out, "prefix", phone.prefix);
        ValueLine(out, "number", phone.number);
        CloseLine(out, "phone");
    }
    for (const TextField& f : kOnlineFields) ValueLine(out, f.name, a.*f.field);
    ValueLine(out, "last_change", FormatTime(a.lastChange));
    CloseLine(out, "address_item");
}

// The text of an element and of everything inside it.
std::string TextOf(const pugi::xml_node& element) {
    struct Collect : pugi::xml_tree_walker {
        std::string text;
        bool for_each(pugi::xml_node& node) override {
            if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
                text += node.value();
            return true;
        }
    } collect;
    pugi::xml_node node = element;
    node.traverse(collect);
    return collect.text;
}

bool Named(const pugi::xml_node& node, const char* name) {
    return std::string_view(node.name()) == name;
}

void ReadPhone(const pugi::xml_node& element, Address& address) {
    std::string_view type = element.attribute("type").value();
    auto tag = std::find_if(kPhoneTags.begin(), kPhoneTags.end(),
                            [&](const PhoneTag& t) { return type == t.name; });
    if (tag == kPhoneTags.end()) return;
    PhoneNumber& phone = address.phones[tag->type];
    phone.present = true;
    for (pugi::xml_node child : element.children()) {
        if (Named(child, "country_code")) phone.countryCode = TextOf(child);
        if (Named(child, "prefix")) phone.prefix = TextOf(child);
        if (Named(child, "number")) phone.number = TextOf(child);
    }
}

bool ReadTextField(const pugi::xml_node& child, Address& address) {
    for (const TextField& f : kTextFields) {
        if (!Named(child, f.name)) continue;
        address.*f.field = TextOf(child);
        return true;
    }
    return false;
}

Address ReadAddress(const pugi::xml_node& element, std::time_t now) {
    Address address = Address::MadeAt(now);
    std::string id = element.attribute("id").value();
    if (!id.empty()) address.id = id;
    for (pugi::xml_node child : element.children()) {
        if (child.type() != pugi::node_element || ReadTextField(child, address)) continue;
        if (Named(child, "phone")) ReadPhone(child, address);
        if (Named(child, "last_change")) {
            if (auto when = ParseTime(TextOf(child).c_str())) address.lastChange = *when;
        }
    }
    return address;
}

void ReadLayout(const pugi::xml_node& element, AddressLayout& layout) {
    for (pugi::xml_node child : element.children()) {
        for (const LayoutField& f : kLayoutFields) {
            if (Named(child, f.name)) layout.*f.field = TextOf(child);
        }
    }
}

// Every "layout" and "address_item" below the root, wherever it is.
class BookWalker : public pugi::xml_tree_walker {
public:
    BookWalker(std::time_t now) : now_(now) {}
    bool for_each(pugi::xml_node& node) override {
        if (Named(node, "layout")) ReadLayout(node, layout);
        if (Named(node, "address_item")) addresses.push_back(ReadAddress(node, now_));
        return true;
    }

    std::vector<Address> addresses;
    AddressLayout layout;

private:
    std::time_t now_;
};

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream data;
    data << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return data.str();
}

void ShowParseError(const std::string& path, const std::string& data,
                    const pugi::xml_parse_result& result) {
    std::string text = "ERROR LOADING XML FILE!\n\n" + path + "\n\n";
    size_t offset =
        std::min(static_cast<size_t>(std::max<ptrdiff_t>(result.offset, 0)), data.size());
    size_t newline = offset ? data.rfind('\n', offset - 1) : std::string::npos;
    size_t lineStart = newline == std::string::npos ? 0 : newline + 1;
    long line =
        1 + std::count(data.begin(), data.begin() + static_cast<ptrdiff_t>(lineStart), '\n');
    long position =
        1 +
        static_cast<long>(Utf8Chars(std::string_view(data).substr(lineStart, offset - lineStart)));
    char where[64];
    std::snprintf(where, sizeof where, "Line: %ld\nPosition: %ld\n", line, position);
    text += std::string(result.description()) + "\n" + where;
    ShowMessageBox(text, address_msg::kXmlErrorCaption, MB_OK | MB_ICONSTOP);
}

// One integer per column; a short list is filled up from the defaults.
std::vector<int> ColumnInts(const std::string& text, const std::string& defaults) {
    std::vector<int> values = ParseIntList(text);
    std::vector<int> fallback = ParseIntList(defaults);
    for (size_t i = values.size(); i < kAddressColumnCount; ++i) values.push_back(fallback[i]);
    return values;
}

std::string Joined(std::initializer_list<std::string_view> parts, std::string_view separator) {
    std::string text;
    for (std::string_view part : parts) {
        if (part.empty()) continue;
        if (!text.empty()) text += separator;
        text += part;
    }
    return text;
}

}  // namespace

std::string PhoneNumber::Text() const {
    return Joined({prefix, number}, " ");
}

std::string PhoneNumber::LongText() const {
    return Joined({countryCode, prefix, number}, " ");
}

Address Address::MadeAt(std::time_t now) {
    Address address;
    address.id = std::to_string(static_cast<long>(now));
    address.lastChange = now;
    return address;
}

AddressListView ListViewOf(const AddressLayout& layout) {
    const AddressLayout defaults;
    std::vector<int> enable = ColumnInts(layout.colEnable, defaults.colEnable);
    std::vector<int> order = ColumnInts(layout.colOrder, defaults.colOrder);
    std::vector<int> size = ColumnInts(layout.colSize, defaults.colSize);
    auto width = [&](size_t column) {
        return size[column] < kNarrowestColumn ? kReplacedWidth : size[column];
    };
    AddressListView view;
    // The nick always comes first, whatever the layout says.
    view.columns.push_back({0, width(0)});
    for (int position = 1; position < static_cast<int>(kAddressColumnCount); ++position) {
        for (size_t column = 1; column < kAddressColumnCount; ++column) {
            if (order[column] != position) continue;
            if (enable[column]) view.columns.push_back({column, width(column)});
            break;
        }
    }
    view.sortColumn = layout.sortCol == "1" ? 1 : 0;
    view.sortDir = std::atoi(layout.sortDir.c_str());
    return view;
}

std::string ColumnText(const Address& a, size_t column) {
    constexpr size_t kFirstPhoneColumn = 6;
    switch (column) {
        case 0:
            return a.nick;
        case 1:
            return Joined({a.firstname, a.lastname}, " ");
        case 2:
            return Joined({a.address1, a.address2}, ", ");
        case 3:
            return Joined({a.zipCode, a.city}, " ");
        case 4:
            return a.country;
        case 5:
            return a.email;
        case 10:
            return a.comments;
    }
    if (column < kFirstPhoneColumn || column >= kFirstPhoneColumn + kPhoneTypes) return "";
    const PhoneNumber& phone = a.phones[column - kFirstPhoneColumn];
    return phone.present ? phone.Text() : "";
}

std::string AddressBook::DefaultPath() {
    return DataDir("AddrBook.xml");
}

std::string AddressBook::ResolvePath(const std::string& path) {
    return path.empty() ? JoinPath(InstallDir(), "addrbook.xml") : path;
}

bool AddressBook::Load(const std::string& path, std::time_t now) {
    std::string file = ResolvePath(path);
    struct stat st;
    if (stat(file.c_str(), &st) != 0 && errno == ENOENT) {
        addresses_.clear();
        layout_ = AddressLayout{};
        return true;
    }
    std::optional<std::string> data = ReadFile(file);
    if (!data) {
        ShowMessageBox("ERROR LOADING XML FILE!\n\n" + file + "\n\n", address_msg::kXmlErrorCaption,
                       MB_OK | MB_ICONSTOP);
        return false;
    }
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_buffer(data->data(), data->size(), kParseOptions);
    if (!result) {
        ShowParseError(file, *data, result);
        return false;
    }
    BookWalker walker(now);
    doc.document_element().traverse(walker);
    addresses_ = std::move(walker.addresses);
    layout_ = walker.layout;
    return true;
}

std::string AddressBook::Text() const {
    std::string out;
    OpenLine(out, "addressbook");
    OpenLine(out, "layout");
    for (const LayoutField& f : kLayoutFields) ValueLine(out, f.name, layout_.*f.field);
    CloseLine(out, "layout");
    for (const Address& a : addresses_) AppendAddress(out, a);
    CloseLine(out, "addressbook");
    return out;
}

bool AddressBook::Save(const std::string& path) const {
    pugi::xml_document doc;
    std::string text = Text();
    if (!doc.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8))
        return false;
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    // The line end after the root element is no part of the document tree.
    out << '\n';
    return ReplaceFile(ResolvePath(path), out.str());
}

bool AddressBook::LoadForWindow(const std::string& path, std::time_t now) {
    if (Load(path, now)) return true;
    ShowMessageBox(address_msg::kCannotRead, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
    addresses_.clear();
    layout_ = AddressLayout{};
    return false;
}

bool AddressBook::SaveForWindow(const std::string& path) const {
    if (Save(path)) return true;
    ShowMessageBox(address_msg::kCannotSave, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

Address& AddressBook::Add(Address address) {
    addresses_.push_back(std::move(address));
    return addresses_.back();
}

Address* AddressBook::SelectForEdit(std::optional<size_t> index) {
    if (index && *index < addresses_.size()) return &addresses_[*index];
    ShowMessageBox(address_msg::kNotSelected, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
    return nullptr;
}

bool AddressBook::AskAndRemove(std::optional<size_t> index) {
    if (!index) {
        ShowMessageBox(address_msg::kNotSelected, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (*index >= addresses_.size()) {
        ShowMessageBox(address_msg::kNotDeleted, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    const Address& a = addresses_[*index];
    std::string name = a.nick.empty() ? Joined({a.firstname, a.lastname}, " ") : a.nick;
    std::string question = address_msg::kAskDelete;
    question.replace(question.find("%s"), 2, name);
    if (ShowMessageBox(question, kAppCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    addresses_.erase(addresses_.begin() + static_cast<ptrdiff_t>(*index));
    return true;
}

std::optional<size_t> AddressBook::FindById(std::string_view id) const {
    for (size_t i = 0; i < addresses_.size(); ++i) {
        if (addresses_[i].id == id) return i;
    }
    return std::nullopt;
}

std::optional<size_t> AddressBook::FindByNumber(std::string_view number) const {
    std::string digits = DigitsOf(number);
    if (digits.empty()) return std::nullopt;
    for (size_t i = 0; i < addresses_.size(); ++i) {
        for (const PhoneNumber& phone : addresses_[i].phones) {
            if (phone.present && DigitsOf(phone.prefix + phone.number) == digits) return i;
        }
    }
    return std::nullopt;
}

bool OfferToKeepRecipient(const std::string& path, const std::string& name,
                          const std::string& number, std::time_t now) {
    AddressBook book;
    if (DigitsOf(number).empty() || !book.LoadForWindow(path, now)) return false;
    if (book.FindByNumber(number)) return true;
    if (ShowMessageBox(address_msg::kAskKeepRecipient, kAppCaption, MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
        return false;
    Address& entry = book.Add(Address::MadeAt(now));
    entry.nick = entry.lastname = name;
    bool mobile = MobileNetworkOf(DigitsOf(number)) != MobileNetwork::None;
    entry.phones[mobile ? kPhoneMobile : kPhonePrivate] = PhoneNumber{true, "", "", number};
    return book.SaveForWindow(path);
}
