// A note item: everything that is received or sent (notes, calls, SMS,
// e-mails, files) as the note store keeps it, one record of 13 text fields
// in the notes data file.
#pragma once

#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

enum class NoteType { Note = 0, File = 1, D1Sms = 2, D2Sms = 3, EPlusSms = 4, Call = 5, Email = 6 };

// States of an item.
enum NoteState {
    kStateReceived = 0,  // received while forwarding was off
    kStateCreated = 1,   // created in velo
    kStateSent = 2,
    kStateWaitingRelay = 3,  // received while forwarding was on
    kStateHandedToRelay = 4,  // the relay program was started for it
    kStateRelayed = 5,        // relayed; it lies in "RelayedNotes"
    // A filter held it back: state 0 again, as received without forwarding.
    kStateHeldBack = kStateReceived
};

class NoteItem {
public:
    enum Field {
        kType,
        kNoteId,
        kRead,
        kInfo,
        kMsn,
        kState,
        kDateTime,
        kName,
        kNumber,
        kSubject,
        kTextFile,
        kProgram,
        kAddress,
        kFieldCount
    };
    // The record number that note items always carry.
    static constexpr int kRecordNumber = -1;
    // The longest name, number and subject a new note may have: a record
    // holds at most 255 characters, and with these every field of it fits,
    // here and in the record that the receiving station files.
    static constexpr size_t kMaxNameChars = 50;
    static constexpr size_t kMaxNumberChars = 30;
    static constexpr size_t kMaxSubjectChars = 80;

    // A new item: type note, id and time now, unread, state created, program "Telvora".
    explicit NoteItem(std::time_t now = std::time(nullptr));

    // A stored record: "-1" and each field after a "|". An empty record or
    // one without "|" is none; missing fields keep the defaults of a new
    // item, fields beyond the 13th are dropped.
    static std::optional<NoteItem> Parse(std::string_view record,
                                         std::time_t now = std::time(nullptr));
    // All 13 fields, within the 255 characters a record is read back with.
    std::string Format() const;
    // The record the answering side hands over: fields 0 to 10 only.
    std::string FormatHandoff() const;

    const std::string& Get(Field f) const { return fields_[f]; }
    void Set(Field f, std::string value) { fields_[f] = std::move(value); }
    // A numeric field as the C library converts it: empty or text reads 0.
    long Number(Field f) const;
    void SetNumber(Field f, long value) { fields_[f] = std::to_string(value); }

    int Type() const { return static_cast<int>(Number(kType)); }
    long NoteId() const { return Number(kNoteId); }
    bool IsRead() const { return Number(kRead) != 0; }

    // "Telvora", "Datei", ..., "Unbekannt" for a type the store does not know.
    static const char* TypeName(int type);
    // The heading of a field's column in the note list ("" for 11 and 12).
    static const char* ColumnTitle(int field);
    // Seconds since 1970 as local "%d.%m.%Y %H:%M:%S".
    static std::string FormatDateTime(long seconds);

private:
    std::array<std::string, kFieldCount> fields_;
};
