// The message composer without its window: what a new note, SMS or e-mail
// is made of, the checks it passes before it is stored, and how it goes
// into the note store. Also the reply to a received note, which goes the
// way of a note prepared by another program.
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "address_book.h"
#include "note_item.h"

class CVeloDoc;

namespace composer_text {
inline constexpr const char* kCaptionNew = "Nachricht erstellen";
inline constexpr const char* kCaptionEdit = "Nachricht editieren";
inline constexpr const char* kLimitExceeded =
    "Sie haben die Maximale Anzahl der Zeichen überschritten!";
inline constexpr const char* kCannotCreateFile = "Datei kann nicht erzeugt werden";
inline constexpr const char* kUnknownName = "Unbekannt";
inline constexpr const char* kNoSubject = "---";
inline constexpr const char* kReplyPrefix = "Re: ";
inline constexpr const char* kPicture = "velo001.gif";
}  // namespace composer_text

// How many characters a message of this type may have: 160 for an SMS,
// 2048 otherwise.
int CharacterLimit(int type);
// "Rufnummer:", "Handynummer:" or "Adresse:".
const char* RecipientLabel(int type);
// Only an e-mail has copy recipients.
bool HasCc(int type);
// The type that the composer's buttons stand for: the SMS types are one
// button, and anything but an SMS or an e-mail is a note.
int ComposerType(int type);
// " Noch %4d von %4d Zeichen frei." of what is left (negative when over) and the limit.
std::string CounterLine(int used, int limit);

// At most this many characters of the signature file are appended.
inline constexpr size_t kMaxSignatureChars = 255;
// The signature that [Sender] "signatureFile" names in installDir: its
// first 255 characters, "" when the key is empty or the file missing.
std::string SignatureText(const std::string& configFile, const std::string& installDir);

// The name to show for an address: first and last name, else the nick.
std::string AddressName(const Address& address);
// The recipient an address gives for a type: the mobile number for an
// SMS, the e-mail address for an e-mail, else the private number or, when
// there is none, the business number.
std::string AddressRecipient(const Address& address, int type);

// Where the recipient and the copy recipients of an item are kept: an
// e-mail's address in the address field and its copy recipients in the
// info field, every other type's number in the number field.
std::string RecipientOf(const NoteItem& item);
std::string CcOf(const NoteItem& item);

// What the composer's fields hold.
struct ComposerFields {
    int type = static_cast<int>(NoteType::Note);
    std::string name, recipient, cc, subject, text;
    bool signature = false;
};

// Where a stored message went.
struct ComposerResult {
    int folder = 0;
    long noteId = 0;
    bool sendNow = false;
};

class Composer {
public:
    // A new note in "SendNotes", with the recipient and subject last used.
    Composer(CVeloDoc& doc, std::string configFile, std::string installDir);
    // The item noteId of folder; Valid() is false, with a message, when
    // there is none or it is no message the composer can write.
    Composer(CVeloDoc& doc, std::string configFile, std::string installDir, int folder,
             long noteId);

    bool Valid() const { return valid_; }
    bool IsNew() const { return isNew_; }
    const char* Caption() const;

    ComposerFields& Fields() { return fields_; }
    const ComposerFields& Fields() const { return fields_; }

    int Limit() const { return CharacterLimit(fields_.type); }
    // Characters of the text and, when it is on, the signature.
    int Used() const;
    std::string Counter() const { return CounterLine(Used(), Limit()); }
    // After every change of the text, the signature box or the type: says
    // so once when the message goes over its limit.
    void Changed();

    // OK: checks the fields and stores the message. nullopt, after a
    // message box, when the dialog is to stay open.
    std::optional<ComposerResult> Accept(std::time_t now = std::time(nullptr));

private:
    std::optional<std::string> CheckedFields();
    std::optional<ComposerResult> StoreNew(NoteItem item, const std::string& text);
    std::optional<ComposerResult> StoreEdit(const std::string& text, std::time_t now);
    void Fill(NoteItem& item, int type) const;

    CVeloDoc& doc_;
    std::string configFile_;
    std::string signature_;
    ComposerFields fields_;
    bool isNew_ = true;
    bool valid_ = true;
    bool over_ = false;
    int folder_ = 0;
    long noteId_ = 0;
};

// The text a reply starts with: a line break, the quote header naming the
// sender and the date of the note, then the note's text between ">>" and "<<".
std::string ReplyText(const NoteItem& received, const std::string& text);

// Prepares a reply to a received note for the composer: its sender,
// number and "Re: " subject as the last used ones, the quoted text in the
// hand-over file, and [Parameters] "noteToSend" = 1. The open document
// takes it into "SendNotes" at once; the new item is returned. nullopt,
// after a message, when nothing could be prepared or the document could
// not take it (then it is taken at the next start).
std::optional<NoteItem> PrepareReply(CVeloDoc& doc, int folder, long noteId);
