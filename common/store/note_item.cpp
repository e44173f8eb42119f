#include "note_item.h"

#include <cstdlib>
#include <vector>

#include "item_list.h"

NoteItem::NoteItem(std::time_t now) {
    std::string t = std::to_string(static_cast<long>(now));
    fields_ = {"0", t, "0", "", "", "1", t, "", "", "", "", "Telvora", ""};
}

std::optional<NoteItem> NoteItem::Parse(std::string_view record, std::time_t now) {
    if (record.find('|') == std::string_view::npos) return std::nullopt;
    NoteItem item(now);
    // Only the fields the record holds replace the defaults.
    size_t present = 0;
    for (size_t bar = record.find('|'); bar != std::string_view::npos && present < kFieldCount;
         bar = record.find('|', bar + 1)) {
        ++present;
    }
    auto parsed = ItemList::ParseRecord(record, kFieldCount);
    for (size_t f = 0; f < present; ++f) item.fields_[f] = parsed->fields[f];
    return item;
}

std::string NoteItem::Format() const {
    return ItemList::FormatRecord(
        ListItem{kRecordNumber, std::vector<std::string>(fields_.begin(), fields_.end())});
}

std::string NoteItem::FormatHandoff() const {
    return ItemList::FormatRecord(ListItem{
        kRecordNumber, std::vector<std::string>(fields_.begin(), fields_.begin() + kProgram)});
}

long NoteItem::Number(Field f) const {
    return std::atol(fields_[f].c_str());
}

const char* NoteItem::TypeName(int type) {
    static const char* const kNames[] = {"Telvora",    "Datei", "D1 SMS", "D2 SMS",
                                         "E-Plus SMS", "Anruf", "Email"};
    if (type < 0 || type > 6) return "Unbekannt";
    return kNames[type];
}

const char* NoteItem::ColumnTitle(int field) {
    static const char* const kTitles[] = {
        "Typ",     "Notiz-Id",      "Gelesen", "Info/Dienst", "ISDN-Nr./MSN/EAZ",
        "Zustand", "Datum/Uhrzeit", "Von/An",  "Rufnummer",   "Betreff",
        "Datei"};
    if (field < 0 || field > 10) return "";
    return kTitles[field];
}

std::string NoteItem::FormatDateTime(long seconds) {
    std::time_t t = seconds;
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
    return text;
}
