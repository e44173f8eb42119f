#include "telvora_cli.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <thread>

#include "atomic_file.h"
#include "config_keys.h"
#include "dial_string.h"
#include "mobile_networks.h"
#include "note_folders.h"
#include "note_handoff.h"
#include "notify_thread.h"
#include "paths.h"
#include "relay_thread.h"
#include "relayed_items.h"
#include "profile_document.h"
#include "settings_file.h"
#include "textcodec.h"
#include "utf8.h"
#include "velo_doc.h"

namespace {

constexpr const char* kUsage =
    "Aufruf: telvora BEFEHL ...\n"
    "  folders                                   Ordner mit Anzahl und ungelesenen Einträgen\n"
    "  list ORDNER                               Einträge eines Ordners\n"
    "  show ORDNER ID                            einen Eintrag mit seinem Text zeigen\n"
    "  new [--sms [D1|D2|EPlus]] NUMMER NAME BETREFF (--text TEXT | --file DATEI)\n"
    "                                            eine Notiz (mit --sms eine SMS an die\n"
    "                                            Handynummer) in \"SendNotes\" anlegen; das\n"
    "                                            Netz ergibt sich aus der Vorwahl, wenn es\n"
    "                                            nicht genannt ist\n"
    "  new --email ADRESSE [--cc LISTE] NAME BETREFF (--text TEXT | --file DATEI)\n"
    "                                            eine E-Mail in \"SendNotes\" anlegen\n"
    "  send ID [--reply-timeout MS]              einen Eintrag aus \"SendNotes\" senden: eine\n"
    "                                            Notiz über ISDN, eine SMS an ihr SMS-Center,\n"
    "                                            eine E-Mail über das E-Mail-Server-Profil\n"
    "                                            (höchstens MS Millisekunden auf jede Antwort\n"
    "                                            des Servers warten)\n"
    "  sms ID [ORDNER]                           eine SMS-Notiz senden (ORDNER: SendNotes)\n"
    "  sms --all D1|D2|EPlus [ORDNER]            alle SMS-Notizen eines Netzes in einem Anruf\n"
    "                                            beim SMS-Center senden\n"
    "      --reply-steps N                       (mit sms) auf jede Antwort des SMS-Centers\n"
    "                                            höchstens N x 100 ms warten\n"
    "  take [--watch]                            Übergebenes in die Ordner übernehmen\n"
    "  move ID VON NACH                          einen Eintrag verschieben\n"
    "  delete ORDNER ID                          einen Eintrag löschen\n"
    "  -h, --help                                diese Hilfe\n"
    "ORDNER ist der Name (z.B. InNotes) oder die Nummer 0 bis 5.\n";

// A file of more bytes than this has more characters than a note may have,
// whatever its encoding: it is refused before more of it is read.
constexpr size_t kMaxNoteFileBytes = 4 * kMaxNoteTextChars;

constexpr int kNoteType = static_cast<int>(NoteType::Note);
constexpr size_t kMaxSmsChars = 160;

std::atomic<bool> g_stop{false};

void StopWatching(int) {
    g_stop = true;
}

int FolderIndex(const std::string& text) {
    for (int f = 0; f < kFolderCount; ++f) {
        if (text == FolderSection(f) || text == std::to_string(f)) return f;
    }
    return -1;
}

bool ParseId(const std::string& text, long& id) {
    char* end = nullptr;
    errno = 0;
    id = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0;
}

bool HasControls(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    }
    return false;
}

// Status texts as printed lines; questions are answered no, since nobody
// is there to answer them.
class PrintedProgress : public SendProgress {
public:
    explicit PrintedProgress(std::ostream& out) : out_(out) {}
    void Status(const std::string& text) override { out_ << text << "\n" << std::flush; }
    bool Ask(const std::string& question) override {
        out_ << question << " Nein.\n";
        asked_ = true;
        return false;
    }
    bool EditSettings() override { return false; }
    void Report(bool success, const std::string& reply) override {
        out_ << (success ? "Notiz wurde gesendet!" : "Notiz konnte nicht gesendet werden!") << "\n";
        if (success) out_ << "Empfängermitteilung:\n" << PrintableText(reply, true) << "\n";
    }
    bool Asked() const { return asked_; }

private:
    std::ostream& out_;
    bool asked_ = false;
};

// The SMS progress dialog as printed lines: each step, then the result's
// title and the centre's message.
class PrintedSmsProgress : public SmsProgress {
public:
    explicit PrintedSmsProgress(std::ostream& out) : out_(out) {}
    void Status(const std::string& text) override {
        out_ << PrintableText(text) << "\n" << std::flush;
    }
    void Report(bool success, const std::string& text) override {
        success_ = success;
        out_ << (success ? "SMS-Nachricht wurde gesendet!"
                         : "SMS-Nachricht konnte nicht gesendet werden!")
             << "\n";
        if (!text.empty()) out_ << "SMS-Meldung: " << PrintableText(text) << "\n";
        out_ << std::flush;
    }
    bool Succeeded() const { return success_; }

private:
    std::ostream& out_;
    bool success_ = false;
};

// The mail dialog as printed lines: each step, then the end state.
class PrintedMailProgress : public MailProgress {
public:
    explicit PrintedMailProgress(std::ostream& out) : out_(out) {}
    void Status(const std::string& text) override {
        out_ << PrintableText(text, true) << "\n" << std::flush;
    }
    void Report(bool success) override {
        out_ << (success ? "Email wurde gesendet!" : "Email konnte nicht gesendet werden!") << "\n"
             << std::flush;
    }

private:
    std::ostream& out_;
};

// What became of an item that forwarding looks at: waiting, handed to
// relay (and how its last run failed), relayed, or held back by a filter;
// "" for anything else.
std::string RelayStatus(const NoteItem& n, int folder, const std::string& configFile) {
    if (folder != kInNotes && folder != kPhoneCalls && folder != kRelayedNotes) return "";
    switch (n.Number(NoteItem::kState)) {
        case kStateWaitingRelay:
            return "wartet auf Weiterleitung";
        case kStateHandedToRelay: {
            std::string failure = SettingsFile(configFile).ReadText(
                cfg::kRelayFailures, std::to_string(n.NoteId()).c_str(), "");
            return failure.empty() ? "an relay übergeben"
                                   : "Weiterleitung fehlgeschlagen: " + failure;
        }
        case kStateRelayed:
            return "weitergeleitet";
        case kStateHeldBack:
            return IsHeldBackByFilter(configFile, n.NoteId()) ? "durch Filter zurückgehalten" : "";
        default:
            return "";
    }
}

class Cli {
public:
    Cli(const CliContext& context, std::ostream& out, std::ostream& err)
        : context_(context), out_(out), err_(err), doc_(context.storeDir, context.configFile) {
        doc_.SetLog(context.log);
    }

    int Run(const std::vector<std::string>& args) {
        if (args.empty()) return Usage();
        const std::string& command = args[0];
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (command == "--help" || command == "-h" || command == "help") {
            out_ << kUsage;
            return 0;
        }
        if (command == "folders" && rest.empty()) return WithDoc([&] { return Folders(); });
        if (command == "list" && rest.size() == 1) return List(rest[0]);
        if (command == "show" && rest.size() == 2) return Show(rest[0], rest[1]);
        if (command == "new" && !rest.empty() && rest[0] == "--sms") return NewSms(rest);
        if (command == "new" && !rest.empty() && rest[0] == "--email") return NewEmail(rest);
        if (command == "new" && rest.size() == 5) return New(rest, kNoteType);
        if (command == "send" && rest.size() == 1) return Send(rest[0], -1);
        if (command == "send" && rest.size() == 3 && rest[1] == "--reply-timeout") {
            long ms = 0;
            if (ParseId(rest[2], ms) && ms > 0 && ms <= 3600000) return Send(rest[0], ms);
        }
        if (command == "sms" && !rest.empty()) return Sms(rest);
        if (command == "take" && rest.empty()) return WithDoc([&] { return Take(false); });
        if (command == "take" && rest == std::vector<std::string>{"--watch"})
            return WithDoc([&] { return Take(true); });
        if (command == "move" && rest.size() == 3) return Move(rest);
        if (command == "delete" && rest.size() == 2) return Delete(rest);
        for (const char* known :
             {"folders", "list", "show", "new", "send", "sms", "take", "move", "delete"}) {
            if (command == known) {
                err_ << "Falsche Angaben für '" << command << "'.\n";
                return Usage();
            }
        }
        err_ << "Unbekannter Befehl '" << PrintableText(command) << "'.\n";
        return Usage();
    }

private:
    int Usage() {
        err_ << kUsage;
        return 2;
    }

    template <typename F>
    int WithDoc(F body) {
        if (!doc_.Open()) return 1;
        int status = body();
        if (!doc_.Close()) status = 1;
        return status;
    }

    int BadFolder(const std::string& text) {
        err_ << "Unbekannter Ordner '" << PrintableText(text)
             << "'. Bitte einen dieser Namen oder seine Nummer angeben: 0 SendNotes, 1 OutNotes, "
                "2 InNotes, 3 PhoneCalls, 4 RelayedNotes, 5 DeletedNotes.\n";
        return 2;
    }

    int BadId(const std::string& text) {
        err_ << "'" << PrintableText(text)
             << "' ist keine Notiz-Id. Die Id ist eine Zahl, wie 'telvora list ORDNER' sie in der "
                "ersten Spalte zeigt.\n";
        return 2;
    }

    int Folders() {
        auto notes = ReadProfile(doc_.NotesFile());
        ProfileDocument none;
        ProfileReader reader(notes ? *notes : none);
        for (int f = 0; f < kFolderCount; ++f) {
            CNoteFolder& folder = doc_.Folder(f);
            out_ << f << "\t" << folder.Section() << "\t" << folder.Items().size() << "\t"
                 << folder.CountUnread() << " ungelesen";
            size_t aside = SetAsideKeys(reader, folder.Section()).size();
            if (aside > 0) out_ << "\t" << aside << " unlesbar beiseitegelegt (unreadableItem-NNN)";
            out_ << "\n";
        }
        return 0;
    }

    int List(const std::string& folderText) {
        int f = FolderIndex(folderText);
        if (f < 0) return BadFolder(folderText);
        return WithDoc([&] {
            for (const NoteItem& n : doc_.Folder(f).Items()) {
                out_ << n.NoteId() << "\t" << NoteItem::TypeName(n.Type()) << "\t"
                     << (n.IsRead() ? "gelesen" : "neu") << "\t"
                     << NoteItem::FormatDateTime(n.Number(NoteItem::kDateTime)) << "\t"
                     << PrintableText(n.Get(NoteItem::kName)) << "\t"
                     << PrintableText(n.Get(NoteItem::kNumber)) << "\t"
                     << PrintableText(n.Get(NoteItem::kSubject));
                std::string relay = RelayStatus(n, f, context_.configFile);
                if (!relay.empty()) out_ << "\t" << PrintableText(relay);
                out_ << "\n";
            }
            out_ << doc_.Folder(f).StatusText() << "\n";
            return 0;
        });
    }

    int Show(const std::string& folderText, const std::string& idText) {
        int f = FolderIndex(folderText);
        if (f < 0) return BadFolder(folderText);
        long id = 0;
        if (!ParseId(idText, id)) return BadId(idText);
        return WithDoc([&] {
            NoteItem* found = doc_.Folder(f).Find(id);
            if (!found) {
                err_ << "Eintrag " << id << " gibt es in " << FolderSection(f)
                     << " nicht. 'telvora list " << FolderSection(f)
                     << "' zeigt, welche es gibt.\n";
                return 1;
            }
            NoteItem n = *found;
            for (int field = 0; field <= NoteItem::kTextFile; ++field) {
                std::string value = n.Get(static_cast<NoteItem::Field>(field));
                if (field == NoteItem::kType) value = NoteItem::TypeName(n.Type());
                if (field == NoteItem::kDateTime)
                    value = NoteItem::FormatDateTime(n.Number(NoteItem::kDateTime));
                out_ << NoteItem::ColumnTitle(field) << ": " << PrintableText(value) << "\n";
            }
            std::string relay = RelayStatus(n, f, context_.configFile);
            if (!relay.empty()) out_ << "Weiterleitung: " << PrintableText(relay) << "\n";
            out_ << "\n" << PrintableText(doc_.ReadText(n, f), true) << "\n" << std::flush;
            return doc_.MarkRead(id, f) ? 0 : 1;
        });
    }

    // The note's text from a file: a regular file of text, read no further
    // than a note may reach.
    std::optional<std::string> ReadTextFile(const std::string& path) {
        std::string shown = PrintableText(path);
        // Not blocking: a pipe without a writer must not hold the command.
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            err_ << "Datei kann nicht gelesen werden: " << shown << " (" << GermanErrorText(errno)
                 << ").\n";
            return std::nullopt;
        }
        struct stat st;
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            close(fd);
            err_ << "'" << shown
                 << "' ist keine gewöhnliche Datei. Bitte eine Textdatei mit dem Notiztext "
                    "angeben.\n";
            return std::nullopt;
        }
        std::string bytes(kMaxNoteFileBytes + 1, '\0');
        size_t got = 0;
        while (got < bytes.size()) {
            ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                int error = errno;
                close(fd);
                err_ << "Datei kann nicht gelesen werden: " << shown << " ("
                     << GermanErrorText(error) << ").\n";
                return std::nullopt;
            }
            if (n == 0) break;
            got += static_cast<size_t>(n);
        }
        close(fd);
        bytes.resize(got);
        if (got > kMaxNoteFileBytes) return TooLong(shown);
        return bytes;
    }

    std::nullopt_t TooLong(const std::string& what) {
        err_ << "Sie haben die Maximale Anzahl der Zeichen überschritten!\n"
             << "Eine Notiz darf höchstens " << kMaxNoteTextChars << " Zeichen haben; " << what
             << " hat mehr. Bitte kürzen Sie den Text.\n";
        return std::nullopt;
    }

    // A field of the new note, as the record keeps it.
    std::optional<std::string> Field(const std::string& given, const char* what, size_t maxChars) {
        std::string text = TextAsUtf8(given);
        if (HasControls(text)) {
            err_ << what << " '" << PrintableText(text)
                 << "' enthält Steuerzeichen (etwa einen Zeilenumbruch). Bitte nur druckbare "
                    "Zeichen angeben.\n";
            return std::nullopt;
        }
        if (Utf8Chars(text) > maxChars) {
            err_ << what << " ist zu lang: " << Utf8Chars(text) << " Zeichen, höchstens "
                 << maxChars << " sind möglich. Bitte kürzen.\n";
            return std::nullopt;
        }
        return text;
    }

    // "--sms", perhaps a network, then what a note has: an SMS note to a
    // mobile number, of the network named or else of the number's prefix.
    int NewSms(std::vector<std::string> a) {
        a.erase(a.begin());
        std::optional<int> named;
        if (!a.empty()) named = NetworkKind(a[0]);
        if (named) a.erase(a.begin());
        if (a.size() != 5) {
            err_ << "Falsche Angaben für 'new --sms'.\n";
            return Usage();
        }
        std::string number = TextAsUtf8(a[0]);
        std::optional<int> kind = named;
        if (!kind) {
            // The network table knows the numbers as dialled at home.
            std::string digits = DigitsOf(number);
            if (number.rfind('+', 0) == 0 && digits.rfind("49", 0) == 0) digits = "0" + digits.substr(2);
            MobileNetwork network = MobileNetworkOf(digits);
            if (network == MobileNetwork::D1) kind = note_kind::kD1Sms;
            if (network == MobileNetwork::D2) kind = note_kind::kD2Sms;
            if (network == MobileNetwork::EPlus) kind = note_kind::kEPlusSms;
            if (!kind) {
                err_ << "Das Mobilfunknetz von '" << PrintableText(number)
                     << "' ist nicht an der Vorwahl zu erkennen. Bitte nennen Sie es: new --sms "
                        "D1|D2|EPlus ...\n";
                return 1;
            }
        }
        return New(a, *kind);
    }

    static std::optional<int> NetworkKind(const std::string& name) {
        if (name == "D1") return note_kind::kD1Sms;
        if (name == "D2") return note_kind::kD2Sms;
        if (name == "EPlus") return note_kind::kEPlusSms;
        return std::nullopt;
    }

    // "--email", the address, perhaps "--cc LISTE", then what a note has.
    int NewEmail(std::vector<std::string> a) {
        a.erase(a.begin());
        std::string cc;
        if (a.size() == 7 && a[1] == "--cc") {
            cc = a[2];
            a.erase(a.begin() + 1, a.begin() + 3);
        }
        if (a.size() != 5) {
            err_ << "Falsche Angaben für 'new --email'.\n";
            return Usage();
        }
        return New(a, note_kind::kEmail, cc);
    }

    int New(const std::vector<std::string>& a, int type, const std::string& ccGiven = "") {
        bool email = type == note_kind::kEmail;
        // An address list may fill a whole value; a number what a record leaves it.
        auto number = Field(a[0], email ? "Die Adresse" : "Die Rufnummer",
                            email ? SettingsFile::kMaxValueChars : NoteItem::kMaxNumberChars);
        auto cc = number ? Field(ccGiven, "Cc", SettingsFile::kMaxValueChars) : std::nullopt;
        if (!number || !cc) return 1;
        if (email && !RecipientKind(type, *number)) {
            char text[512];
            std::snprintf(text, sizeof text, kWrongRecipientFormat, PrintableText(*number).c_str());
            err_ << text << "\nEine E-Mail-Adresse hat die Form name@domain.de.\n";
            return 1;
        }
        if (!email && !IsDiallableNumber(*number)) {
            char text[512];
            std::snprintf(text, sizeof text, kWrongRecipientFormat, PrintableText(*number).c_str());
            err_ << text
                 << "\nEine Rufnummer besteht aus Ziffern, Leerzeichen und den Zeichen "
                    "-/(), vorne darf ein + für die Landesvorwahl stehen.\n";
            return 1;
        }
        auto name = Field(a[1], "Der Name", NoteItem::kMaxNameChars);
        auto subject = name ? Field(a[2], "Der Betreff", NoteItem::kMaxSubjectChars) : std::nullopt;
        if (!name || !subject) return 1;
        std::optional<std::string> bytes;
        std::string source;
        if (a[3] == "--text") {
            bytes = a[4];
            source = "der Text";
        } else if (a[3] == "--file") {
            bytes = ReadTextFile(a[4]);
            source = "'" + PrintableText(a[4]) + "'";
        } else {
            err_ << "Nach dem Betreff folgt --text TEXT oder --file DATEI.\n";
            return Usage();
        }
        if (!bytes) return 1;
        if (bytes->find('\0') != std::string::npos) {
            err_ << "In " << source
                 << " steht ein Nullzeichen: das ist kein Text. Bitte eine Textdatei angeben.\n";
            return 1;
        }
        std::string text = TextAsUtf8(*bytes);
        if (Utf8Chars(text) > kMaxNoteTextChars) {
            TooLong(source);
            return 1;
        }
        if (IsSmsKind(type) && Utf8Chars(text) > kMaxSmsChars) {
            err_ << "Sie haben die Maximale Anzahl der Zeichen überschritten!\n"
                 << "Eine SMS darf höchstens " << kMaxSmsChars << " Zeichen haben; " << source
                 << " hat " << Utf8Chars(text) << ". Bitte kürzen Sie den Text.\n";
            return 1;
        }
        return WithDoc([&] {
            NoteItem note;
            note.SetNumber(NoteItem::kType, type);
            note.Set(email ? NoteItem::kAddress : NoteItem::kNumber, *number);
            if (email) note.Set(NoteItem::kInfo, *cc);
            // As the composer stores them, so that no field is empty.
            note.Set(NoteItem::kName, name->empty() ? "Unbekannt" : *name);
            note.Set(NoteItem::kSubject, subject->empty() ? "---" : *subject);
            note.SetNumber(NoteItem::kRead, 1);
            auto stored = doc_.CreateItem(note, kSendNotes, text);
            if (!stored) return 1;
            out_ << stored->NoteId() << "\n";
            return 0;
        });
    }

    // Sends an item of SendNotes by its type: a note over the ISDN line, an
    // SMS through its network's centre, an e-mail through the e-mail server
    // profile (replyTimeoutMs > 0 shortens the server's minute).
    int Send(const std::string& idText, long replyTimeoutMs) {
        long id = 0;
        if (!ParseId(idText, id)) return BadId(idText);
        return WithDoc([&] {
            NoteItem* item = doc_.Folder(kSendNotes).Find(id);
            int type = item ? item->Type() : kNoteType;
            SettingsFile settings(context_.configFile);
            if (type == note_kind::kEmail) {
                MailSender sender(settings, context_.log);
                if (replyTimeoutMs > 0) sender.SetReplyTimeout(static_cast<int>(replyTimeoutMs));
                PrintedMailProgress progress(out_);
                return doc_.SendMail(id, kSendNotes, sender, progress) ? 0 : 1;
            }
            if (IsSmsKind(type)) {
                if (!context_.smsLinks) return NoLine();
                SmsSender sender(settings, context_.smsLinks(~0ul));
                sender.SetLog(context_.log);
                PrintedSmsProgress progress(out_);
                return doc_.SendSms(id, kSendNotes, sender, progress) ? 0 : 1;
            }
            if (!context_.makeLink) return NoLine();
            NoteSender sender(settings, context_.makeLink, context_.programId);
            PrintedProgress progress(out_);
            if (doc_.SendNote(id, kSendNotes, sender, progress)) return 0;
            if (progress.Asked()) {
                err_ << "Bitte tragen Sie Ihre Absenderangaben in '" << context_.configFile
                     << "' ein: unter [Sender] name= (Ihr Name) und telephone= (Ihre Rufnummer "
                        "mit Vorwahl).\n";
            }
            return 1;
        });
    }

    int NoLine() {
        err_ << "Die ISDN-Verbindung steht in diesem Programm nicht zur Verfügung.\n";
        return 1;
    }

    // sms ID [ORDNER] or sms --all NETZ [ORDNER], each with --reply-steps N.
    int Sms(std::vector<std::string> a) {
        unsigned long replySteps = ~0ul;
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i] != "--reply-steps") continue;
            long steps = 0;
            if (i + 1 >= a.size() || !ParseId(a[i + 1], steps) || steps < 0) {
                err_ << "Nach --reply-steps folgt die Zahl der Warteschritte (je 100 ms).\n";
                return Usage();
            }
            replySteps = static_cast<unsigned long>(steps);
            a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i) + 2);
            break;
        }
        bool all = !a.empty() && a[0] == "--all";
        if (all) a.erase(a.begin());
        if (a.empty() || a.size() > 2) {
            err_ << "Falsche Angaben für 'sms'.\n";
            return Usage();
        }
        int folder = kSendNotes;
        if (a.size() == 2) {
            folder = FolderIndex(a[1]);
            if (folder < 0) return BadFolder(a[1]);
        }
        std::optional<int> network;
        long id = 0;
        if (all) {
            network = NetworkKind(a[0]);
            if (!network) {
                err_ << "Unbekanntes Netz '" << PrintableText(a[0])
                     << "'. Bitte D1, D2 oder EPlus angeben.\n";
                return 2;
            }
        } else if (!ParseId(a[0], id)) {
            return BadId(a[0]);
        }
        if (!context_.smsLinks) return NoLine();
        return WithDoc([&] {
            SettingsFile settings(context_.configFile);
            SmsSender sender(settings, context_.smsLinks(replySteps));
            sender.SetLog(context_.log);
            PrintedSmsProgress progress(out_);
            if (all) {
                int failed = 0;
                bool called = doc_.SendAllSms(folder, *network, sender, progress, &failed);
                return called && progress.Succeeded() && failed == 0 ? 0 : 1;
            }
            NoteItem* item = doc_.Folder(folder).Find(id);
            if (item && !IsSmsKind(item->Type())) {
                err_ << "Eintrag " << id << " ist keine SMS-Notiz, sondern "
                     << NoteItem::TypeName(item->Type()) << ". Eine Notiz sendet 'telvora send'.\n";
                return 1;
            }
            return doc_.SendSms(id, folder, sender, progress) ? 0 : 1;
        });
    }

    int Take(bool watch) {
        auto print = [&](const NoteItem& n, int folder) {
            out_ << FolderSection(folder) << "\t" << n.NoteId() << "\t"
                 << NoteItem::TypeName(n.Type()) << "\t" << PrintableText(n.Get(NoteItem::kName))
                 << "\t" << PrintableText(n.Get(NoteItem::kNumber)) << "\t"
                 << PrintableText(n.Get(NoteItem::kSubject)) << "\n"
                 << std::flush;
        };
        auto setAside = [&](const std::string& section, const std::string& key,
                            const std::string& record) {
            err_ << "Ein übergebener Eintrag in [" << section << "] ist nicht lesbar: '"
                 << PrintableText(record) << "'. Er steht jetzt unter " << key << " in '"
                 << doc_.NotesFile() << "'; die übrigen wurden übernommen.\n"
                 << std::flush;
        };
        if (watch) {
            // Closing the terminal ends the watch as Ctrl+C does; what was
            // taken is in the store already either way.
            struct sigaction stop {};
            stop.sa_handler = StopWatching;
            for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &stop, nullptr);
        }
        auto applyRelayed = [&] {
            std::vector<long> relayed = TakeRelayedItems(context_.configFile);
            if (relayed.empty()) return;
            doc_.ApplyRelayed(relayed);
            for (long id : relayed) out_ << "RelayedNotes\t" << id << "\tweitergeleitet\n";
            out_ << std::flush;
        };
        doc_.TakeHandedOverItems(print, setAside);
        applyRelayed();
        if (!watch) return 0;
        // As velo does: the relay thread forwards what waits, woken whenever
        // something was taken in.
        RelayDispatcher dispatcher(context_.configFile, ProgramDir(), context_.log);
        CRelayThread relay(doc_, dispatcher);
        relay.Start();
        auto next = std::chrono::steady_clock::now();
        while (!g_stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (std::chrono::steady_clock::now() < next + CNotifyThread::kPeriod) continue;
            next = std::chrono::steady_clock::now();
            if (doc_.TakeHandedOverItems(print, setAside) > 0) relay.Wake();
            applyRelayed();
        }
        relay.Stop();
        return 0;
    }

    int Move(const std::vector<std::string>& a) {
        long id = 0;
        if (!ParseId(a[0], id)) return BadId(a[0]);
        int from = FolderIndex(a[1]), to = FolderIndex(a[2]);
        if (from < 0) return BadFolder(a[1]);
        if (to < 0) return BadFolder(a[2]);
        return WithDoc([&] { return doc_.MoveItem(id, from, to) ? 0 : 1; });
    }

    int Delete(const std::vector<std::string>& a) {
        int f = FolderIndex(a[0]);
        if (f < 0) return BadFolder(a[0]);
        long id = 0;
        if (!ParseId(a[1], id)) return BadId(a[1]);
        return WithDoc([&] { return doc_.DeleteItem(id, f) ? 0 : 1; });
    }

    const CliContext& context_;
    std::ostream& out_;
    std::ostream& err_;
    CVeloDoc doc_;
};

}  // namespace

int RunTelvoraCli(const std::vector<std::string>& args, const CliContext& context,
                  std::ostream& out, std::ostream& err) {
    Cli cli(context, out, err);
    return cli.Run(args);
}
