#include "composer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>

#include "app_caption.h"
#include "atomic_file.h"
#include "config_keys.h"
#include "dial_string.h"
#include "field_text.h"
#include "mobile_networks.h"
#include "msgbox.h"
#include "note_folders.h"
#include "paths.h"
#include "profile.h"
#include "settings_file.h"
#include "textcodec.h"
#include "utf8.h"
#include "velo_doc.h"

namespace {

constexpr int kNoteLimit = 2048;
constexpr int kSmsLimit = 160;
// What an edit keeps of the old text to put back when the record cannot be written.
constexpr size_t kMaxRestoredBytes = size_t{1} << 24;

bool IsEmail(int type) {
    return type == static_cast<int>(NoteType::Email);
}

void Stop(const std::string& text) {
    ShowMessageBox(text, kAppCaption, MB_OK | MB_ICONSTOP);
}

// The printf pattern of a message with one "%s".
std::string WithText(const char* pattern, const std::string& text) {
    std::string_view format = pattern;
    size_t at = format.find("%s");
    return std::string(format.substr(0, at)) + text + std::string(format.substr(at + 2));
}

bool HasControls(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    }
    return false;
}

// A file's bytes up to maxBytes, nullopt when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path, size_t maxBytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string bytes;
    char buf[65536];
    bool failed = false;
    while (bytes.size() < maxBytes) {
        ssize_t n = read(fd, buf, std::min(sizeof buf, maxBytes - bytes.size()));
        if (n < 0 && errno == EINTR) continue;
        failed = n < 0;
        if (n <= 0) break;
        bytes.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    if (failed) return std::nullopt;
    return bytes;
}

// bytes without a UTF-8 sequence that a cut left incomplete at its end.
void DropBrokenTail(std::string& bytes) {
    size_t start = bytes.size();
    while (start > 0 && bytes.size() - start < 4 &&
           (static_cast<unsigned char>(bytes[start - 1]) & 0xC0) == 0x80) {
        --start;
    }
    if (start == 0) return;
    auto lead = static_cast<unsigned char>(bytes[start - 1]);
    size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (bytes.size() - (start - 1) < need) bytes.resize(start - 1);
}

// The characters of a record as the store writes it, before it would have
// to cut fields to stay within a value's 255 characters.
size_t RecordChars(const NoteItem& item) {
    size_t chars = std::to_string(NoteItem::kRecordNumber).size();
    for (int f = 0; f < NoteItem::kFieldCount; ++f) {
        chars += 1 + Utf8Chars(BarsToBrokenBars(item.Get(static_cast<NoteItem::Field>(f))));
    }
    return chars;
}

}  // namespace

int CharacterLimit(int type) {
    return IsSmsKind(type) ? kSmsLimit : kNoteLimit;
}

const char* RecipientLabel(int type) {
    if (IsSmsKind(type)) return "Handynummer:";
    if (IsEmail(type)) return "Adresse:";
    return "Rufnummer:";
}

bool HasCc(int type) {
    return IsEmail(type);
}

int ComposerType(int type) {
    if (IsSmsKind(type) || IsEmail(type)) return type;
    return static_cast<int>(NoteType::Note);
}

std::string CounterLine(int used, int limit) {
    char line[64];
    std::snprintf(line, sizeof line, " Noch %4d von %4d Zeichen frei.", limit - used, limit);
    return line;
}

std::string SignatureText(const std::string& configFile, const std::string& installDir) {
    std::string name = SettingsFile(configFile).Read(cfg::kSignatureFile);
    if (name.empty()) return "";
    // No character takes more than four bytes; one byte more tells
    // whether the file goes on.
    constexpr size_t kMaxBytes = kMaxSignatureChars * 4;
    auto bytes = ReadFileBytes(JoinPath(installDir, name), kMaxBytes + 1);
    if (!bytes) return "";
    if (bytes->size() > kMaxBytes) {
        bytes->resize(kMaxBytes);
        // A character that the cut broke must not make the rest read as Windows-1252.
        DropBrokenTail(*bytes);
    }
    return CutToChars(TextAsUtf8(*bytes), kMaxSignatureChars);
}

std::string AddressName(const Address& address) {
    std::string name = address.firstname;
    if (!name.empty() && !address.lastname.empty()) name += ' ';
    name += address.lastname;
    return name.empty() ? address.nick : name;
}

std::string AddressRecipient(const Address& address, int type) {
    if (IsEmail(type)) return address.email;
    auto number = [&](PhoneType t) {
        const PhoneNumber& p = address.phones[t];
        return p.present ? p.Text() : std::string();
    };
    if (IsSmsKind(type)) return number(kPhoneMobile);
    std::string home = number(kPhonePrivate);
    return home.empty() ? number(kPhoneBusiness) : home;
}

std::string RecipientOf(const NoteItem& item) {
    return IsEmail(item.Type()) ? item.Get(NoteItem::kAddress) : item.Get(NoteItem::kNumber);
}

std::string CcOf(const NoteItem& item) {
    return IsEmail(item.Type()) ? item.Get(NoteItem::kInfo) : std::string();
}

Composer::Composer(CVeloDoc& doc, std::string configFile, std::string installDir)
    : doc_(doc), configFile_(std::move(configFile)) {
    signature_ = SignatureText(configFile_, installDir);
    SettingsFile cfg(configFile_);
    fields_.name = TextAsUtf8(cfg.Read(cfg::kLastName));
    fields_.recipient = TextAsUtf8(cfg.Read(cfg::kLastTelephone));
    fields_.subject = TextAsUtf8(cfg.Read(cfg::kLastSubject));
}

Composer::Composer(CVeloDoc& doc, std::string configFile, std::string installDir, int folder,
                   long noteId)
    : doc_(doc),
      configFile_(std::move(configFile)),
      isNew_(false),
      folder_(folder),
      noteId_(noteId) {
    signature_ = SignatureText(configFile_, installDir);
    std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
    const NoteItem* item = folder >= 0 && folder < kFolderCount && doc_.IsOpen()
                               ? doc_.Folder(folder).Find(noteId)
                               : nullptr;
    if (!item) {
        valid_ = false;
        Stop("Cannot access NoteItem");
        return;
    }
    if (ComposerType(item->Type()) != item->Type()) {
        valid_ = false;
        Stop(std::string("Ein Eintrag der Art '") + NoteItem::TypeName(item->Type()) +
             "' kann nicht editiert werden; nur Notizen, SMS und E-Mails lassen sich bearbeiten.");
        return;
    }
    fields_.type = item->Type();
    fields_.name = item->Get(NoteItem::kName);
    fields_.recipient = RecipientOf(*item);
    fields_.cc = CcOf(*item);
    fields_.subject = item->Get(NoteItem::kSubject);
    fields_.text = doc_.ReadText(*item, folder);
}

const char* Composer::Caption() const {
    return isNew_ ? composer_text::kCaptionNew : composer_text::kCaptionEdit;
}

int Composer::Used() const {
    size_t used = Utf8Chars(fields_.text) + (fields_.signature ? Utf8Chars(signature_) : 0);
    return static_cast<int>(used);
}

void Composer::Changed() {
    bool over = Used() > Limit();
    if (over && !over_) Stop(composer_text::kLimitExceeded);
    over_ = over;
}

void Composer::Fill(NoteItem& item, int type) const {
    bool wasEmail = IsEmail(item.Type());
    item.SetNumber(NoteItem::kType, type);
    item.Set(NoteItem::kName, fields_.name.empty() ? composer_text::kUnknownName : fields_.name);
    if (IsEmail(type)) {
        item.Set(NoteItem::kNumber, "");
        item.Set(NoteItem::kAddress, fields_.recipient);
        item.Set(NoteItem::kInfo, fields_.cc);
    } else {
        item.Set(NoteItem::kNumber, fields_.recipient);
        item.Set(NoteItem::kAddress, "");
        // The copy recipients of what was an e-mail do not stay behind.
        if (wasEmail) item.Set(NoteItem::kInfo, "");
    }
    item.Set(NoteItem::kSubject,
             fields_.subject.empty() ? composer_text::kNoSubject : fields_.subject);
}

// The text to store (the text and the signature), or nullopt after the
// message that says what is wrong.
std::optional<std::string> Composer::CheckedFields() {
    struct Check {
        std::string* value;
        const char* what;
        size_t maxChars;
    };
    bool email = IsEmail(fields_.type);
    // The address and copy recipients of an e-mail are held to what the
    // record leaves them, checked below.
    const Check checks[] = {
        {&fields_.name, "Der Name", NoteItem::kMaxNameChars},
        {&fields_.recipient, email ? "Die Adresse" : "Die Rufnummer",
         email ? SettingsFile::kMaxValueChars : NoteItem::kMaxNumberChars},
        {&fields_.cc, "Cc", SettingsFile::kMaxValueChars},
        {&fields_.subject, "Der Betreff", NoteItem::kMaxSubjectChars},
    };
    for (const Check& c : checks) {
        *c.value = TextAsUtf8(*c.value);
        if (HasControls(*c.value)) {
            Stop(std::string(c.what) + " '" + PrintableText(*c.value) +
                 "' enthält Steuerzeichen (etwa einen Zeilenumbruch). Bitte nur druckbare "
                 "Zeichen angeben.");
            return std::nullopt;
        }
        if (Utf8Chars(*c.value) > c.maxChars) {
            Stop(std::string(c.what) + " ist zu lang: " + std::to_string(Utf8Chars(*c.value)) +
                 " Zeichen, höchstens " + std::to_string(c.maxChars) +
                 " sind möglich. Bitte kürzen.");
            return std::nullopt;
        }
    }
    fields_.text = TextAsUtf8(fields_.text);
    if (fields_.text.find('\0') != std::string::npos) {
        Stop("Im Text steht ein Nullzeichen: das ist kein Text. Bitte entfernen Sie es.");
        return std::nullopt;
    }
    if (Used() > Limit()) {
        Stop(composer_text::kLimitExceeded);
        return std::nullopt;
    }
    // The store keeps no more of a text than this; more would be lost
    // when the message is read again.
    if (Used() > static_cast<int>(kMaxNoteTextChars)) {
        Stop(std::string(composer_text::kLimitExceeded) + "\nEine Nachricht kann höchstens " +
             std::to_string(kMaxNoteTextChars) + " Zeichen haben.");
        return std::nullopt;
    }
    return fields_.text + (fields_.signature ? signature_ : std::string());
}

std::optional<ComposerResult> Composer::Accept(std::time_t now) {
    auto text = CheckedFields();
    if (!text) return std::nullopt;
    std::optional<int> kind = RecipientKind(fields_.type, fields_.recipient);
    // A number that cannot be dialled is not sent to.
    if (kind && *kind == static_cast<int>(NoteType::Note) &&
        !IsDiallableNumber(fields_.recipient)) {
        kind.reset();
    }
    if (!kind) {
        Stop(WithText(kWrongRecipientFormat, fields_.recipient));
        return std::nullopt;
    }
    NoteItem probe(now);
    Fill(probe, *kind);
    probe.Set(NoteItem::kTextFile, NoteTextFileName(now));
    size_t chars = RecordChars(probe);
    if (chars > SettingsFile::kMaxValueChars) {
        Stop("Name, Empfänger, Cc und Betreff sind zusammen zu lang, um gespeichert zu werden (" +
             std::to_string(chars - SettingsFile::kMaxValueChars) +
             " Zeichen zu viel). Bitte kürzen Sie sie.");
        return std::nullopt;
    }
    fields_.type = *kind;
    if (isNew_) {
        NoteItem item(now);
        Fill(item, *kind);
        // What one writes oneself is not unread.
        item.SetNumber(NoteItem::kRead, 1);
        return StoreNew(item, *text);
    }
    return StoreEdit(*text, now);
}

std::optional<ComposerResult> Composer::StoreNew(NoteItem item, const std::string& text) {
    auto stored = doc_.CreateItem(item, kSendNotes, text);
    if (!stored) return std::nullopt;
    // The next new message starts from these; one replace of the file.
    ProfileTransaction last(configFile_);
    for (auto [key, value] : {std::pair{&cfg::kLastName, &fields_.name},
                              std::pair{&cfg::kLastTelephone, &fields_.recipient},
                              std::pair{&cfg::kLastSubject, &fields_.subject}}) {
        last.Write(key->section, key->key, *value);
    }
    last.Commit();
    return ComposerResult{kSendNotes, stored->NoteId(), false};
}

std::optional<ComposerResult> Composer::StoreEdit(const std::string& text, std::time_t now) {
    std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
    CNoteFolder& folder = doc_.Folder(folder_);
    NoteItem* item = folder.Find(noteId_);
    if (!item) {
        Stop("Cannot access NoteItem");
        return std::nullopt;
    }
    const NoteItem original = *item;
    std::string path = folder.TextPath(original);
    bool freshFile = path.empty() || folder.Claims(original.Get(NoteItem::kTextFile)) > 1;
    std::optional<std::string> before;
    if (freshFile) {
        // A text that another item names too stays that item's.
        auto file = CreateNoteTextFile(folder.Dir(), now, [&](std::time_t t) {
            return folder.Claims(NoteTextFileName(t)) > 0;
        });
        path = file ? JoinPath(folder.Dir(), file->name) : "";
        if (file) item->Set(NoteItem::kTextFile, file->name);
    } else {
        before = ReadFileBytes(path, kMaxRestoredBytes);
    }
    // The text is replaced at once, so that no kill leaves half of it.
    if (path.empty() || !ReplaceFile(path, text)) {
        int error = errno;
        *item = original;
        if (freshFile && !path.empty()) unlink(path.c_str());
        Stop(composer_text::kCannotCreateFile);
        Stop("Die Textdatei '" + path + "' kann nicht geschrieben werden (" +
             GermanErrorText(error) + "). Es wurde nichts geändert.");
        return std::nullopt;
    }
    Fill(*item, fields_.type);
    item->SetNumber(NoteItem::kDateTime, static_cast<long>(now));
    if (!doc_.Commit({})) {
        *item = original;
        if (freshFile || !before) {
            unlink(path.c_str());
        } else {
            ReplaceFile(path, *before);
        }
        return std::nullopt;
    }
    return ComposerResult{folder_, noteId_, false};
}

std::string ReplyText(const NoteItem& received, const std::string& text) {
    return "\n'" + received.Get(NoteItem::kName) + "' schrieb am " +
           NoteItem::FormatDateTime(received.Number(NoteItem::kDateTime)) + ":\n\n>>" + text + "<<";
}

std::optional<NoteItem> PrepareReply(CVeloDoc& doc, int folder, long noteId) {
    NoteItem received;
    std::string text;
    {
        std::lock_guard<std::recursive_mutex> lock(doc.Lock());
        const NoteItem* item = folder >= 0 && folder < kFolderCount && doc.IsOpen()
                                   ? doc.Folder(folder).Find(noteId)
                                   : nullptr;
        if (!item) {
            Stop("Cannot access NoteItem");
            return std::nullopt;
        }
        received = *item;
        text = doc.ReadText(received, folder);
    }
    SettingsFile cfg(doc.ConfigFile());
    ProfileTransaction last(doc.ConfigFile());
    last.Write(cfg::kLastName.section, cfg::kLastName.key, received.Get(NoteItem::kName));
    last.Write(cfg::kLastTelephone.section, cfg::kLastTelephone.key,
               received.Get(NoteItem::kNumber));
    last.Write(cfg::kLastSubject.section, cfg::kLastSubject.key,
               composer_text::kReplyPrefix + received.Get(NoteItem::kSubject));
    if (!last.Commit()) {
        Stop("Die Antwort kann nicht vorbereitet werden: '" + doc.ConfigFile() +
             "' kann nicht geschrieben werden (" + GermanErrorText(errno) + ").");
        return std::nullopt;
    }
    std::string handOver = CVeloDoc::PreparedNoteFile(doc.StoreDir(), doc.ConfigFile());
    if (!ReplaceFile(handOver, ReplyText(received, text))) {
        Stop(composer_text::kCannotCreateFile);
        return std::nullopt;
    }
    if (!cfg.Write(cfg::kNoteToSend, 1)) {
        Stop("Die Antwort kann nicht vorbereitet werden: '" + doc.ConfigFile() +
             "' kann nicht geschrieben werden (" + GermanErrorText(errno) + ").");
        return std::nullopt;
    }
    // The running program takes the note now; this also puts the flag
    // back, so that the next start does not take it a second time.
    std::lock_guard<std::recursive_mutex> lock(doc.Lock());
    if (!doc.IsOpen() || !doc.TakePreparedNote()) return std::nullopt;
    return doc.Folder(kSendNotes).Items().back();
}
