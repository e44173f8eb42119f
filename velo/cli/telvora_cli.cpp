#include "telvora_cli.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "config_keys.h"
#include "note_folders.h"
#include "settings_file.h"
#include "velo_doc.h"

namespace {

constexpr const char* kUsage =
    "Aufruf: telvora BEFEHL ...\n"
    "  folders                                   Ordner mit Anzahl und ungelesenen Einträgen\n"
    "  list ORDNER                               Einträge eines Ordners\n"
    "  show ORDNER ID                            einen Eintrag mit seinem Text zeigen\n"
    "  new NUMMER NAME BETREFF (--text TEXT | --file DATEI)\n"
    "                                            eine Notiz in \"SendNotes\" anlegen\n"
    "  send ID                                   eine Notiz aus \"SendNotes\" senden\n"
    "  take [--watch]                            Übergebenes in die Ordner übernehmen\n"
    "  move ID VON NACH                          einen Eintrag verschieben\n"
    "  delete ORDNER ID                          einen Eintrag löschen\n"
    "ORDNER ist der Name (z.B. InNotes) oder die Nummer 0 bis 5.\n";

std::atomic<bool> g_stop{false};

int FolderIndex(const std::string& text) {
    for (int f = 0; f < kFolderCount; ++f) {
        if (text == FolderSection(f) || text == std::to_string(f)) return f;
    }
    return -1;
}

bool ParseId(const std::string& text, long& id) {
    char* end = nullptr;
    id = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0';
}

// Status texts as printed lines; questions are answered no, since nobody
// is there to answer them.
class PrintedProgress : public SendProgress {
public:
    explicit PrintedProgress(std::ostream& out) : out_(out) {}
    void Status(const std::string& text) override { out_ << text << "\n" << std::flush; }
    bool Ask(const std::string& question) override {
        out_ << question << " Nein.\n";
        return false;
    }
    bool EditSettings() override { return false; }
    void Report(bool success, const std::string& reply) override {
        out_ << (success ? "Notiz wurde gesendet!" : "Notiz konnte nicht gesendet werden!") << "\n";
        if (success) out_ << "Empfängermitteilung:\n" << reply << "\n";
    }

private:
    std::ostream& out_;
};

class Cli {
public:
    Cli(const CliContext& context, std::ostream& out, std::ostream& err)
        : context_(context), out_(out), err_(err), doc_(context.storeDir, context.configFile) {}

    int Run(const std::vector<std::string>& args) {
        if (args.empty()) return Usage();
        const std::string& command = args[0];
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (command == "folders" && rest.empty()) return WithDoc([&] { return Folders(); });
        if (command == "list" && rest.size() == 1) return WithDoc([&] { return List(rest[0]); });
        if (command == "show" && rest.size() == 2)
            return WithDoc([&] { return Show(rest[0], rest[1]); });
        if (command == "new" && rest.size() == 5) return WithDoc([&] { return New(rest); });
        if (command == "send" && rest.size() == 1) return WithDoc([&] { return Send(rest[0]); });
        if (command == "take" && rest.empty()) return WithDoc([&] { return Take(false); });
        if (command == "take" && rest == std::vector<std::string>{"--watch"})
            return WithDoc([&] { return Take(true); });
        if (command == "move" && rest.size() == 3) return WithDoc([&] { return Move(rest); });
        if (command == "delete" && rest.size() == 2) return WithDoc([&] { return Delete(rest); });
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

    int Folders() {
        for (int f = 0; f < kFolderCount; ++f) {
            CNoteFolder& folder = doc_.Folder(f);
            out_ << f << "\t" << folder.Section() << "\t" << folder.Items().size() << "\t"
                 << folder.CountUnread() << " ungelesen\n";
        }
        return 0;
    }

    int BadFolder(const std::string& text) {
        err_ << "Unbekannter Ordner: " << text << "\n";
        return 2;
    }

    int List(const std::string& folderText) {
        int f = FolderIndex(folderText);
        if (f < 0) return BadFolder(folderText);
        for (const NoteItem& n : doc_.Folder(f).Items()) {
            out_ << n.NoteId() << "\t" << NoteItem::TypeName(n.Type()) << "\t"
                 << (n.IsRead() ? "gelesen" : "neu") << "\t"
                 << NoteItem::FormatDateTime(n.Number(NoteItem::kDateTime)) << "\t"
                 << n.Get(NoteItem::kName) << "\t" << n.Get(NoteItem::kNumber) << "\t"
                 << n.Get(NoteItem::kSubject) << "\n";
        }
        out_ << doc_.Folder(f).StatusText() << "\n";
        return 0;
    }

    NoteItem* Item(int folder, const std::string& idText) {
        long id = 0;
        if (!ParseId(idText, id)) return nullptr;
        return doc_.Folder(folder).Find(id);
    }

    int Show(const std::string& folderText, const std::string& idText) {
        int f = FolderIndex(folderText);
        if (f < 0) return BadFolder(folderText);
        NoteItem* n = Item(f, idText);
        if (!n) {
            err_ << "Eintrag " << idText << " gibt es in " << FolderSection(f) << " nicht.\n";
            return 1;
        }
        for (int field = 0; field <= NoteItem::kTextFile; ++field) {
            std::string value = n->Get(static_cast<NoteItem::Field>(field));
            if (field == NoteItem::kType) value = NoteItem::TypeName(n->Type());
            if (field == NoteItem::kDateTime)
                value = NoteItem::FormatDateTime(n->Number(NoteItem::kDateTime));
            out_ << NoteItem::ColumnTitle(field) << ": " << value << "\n";
        }
        out_ << "\n" << doc_.ReadText(*n, f) << "\n";
        n->SetNumber(NoteItem::kRead, 1);
        return 0;
    }

    int New(const std::vector<std::string>& a) {
        std::string text;
        if (a[3] == "--text") {
            text = a[4];
        } else if (a[3] == "--file") {
            std::ifstream in(a[4], std::ios::binary);
            if (!in) {
                err_ << "Datei kann nicht gelesen werden: " << a[4] << "\n";
                return 1;
            }
            std::stringstream ss;
            ss << in.rdbuf();
            text = ss.str();
        } else {
            return Usage();
        }
        auto file = doc_.NewTextFile(kSendNotes);
        if (!file) {
            err_ << "Datei kann nicht erzeugt werden\n";
            return 1;
        }
        NoteItem note(file->time);
        note.Set(NoteItem::kNumber, a[0]);
        note.Set(NoteItem::kName, a[1]);
        note.Set(NoteItem::kSubject, a[2]);
        note.Set(NoteItem::kTextFile, file->name);
        note.SetNumber(NoteItem::kRead, 1);
        if (!WriteNoteText(doc_.Folder(kSendNotes).TextPath(note), text)) {
            err_ << "Datei kann nicht erzeugt werden\n";
            return 1;
        }
        doc_.AddItem(note, kSendNotes);
        out_ << note.NoteId() << "\n";
        return 0;
    }

    int Send(const std::string& idText) {
        long id = 0;
        if (!ParseId(idText, id)) return Usage();
        if (!context_.makeLink) {
            err_ << "Die ISDN-Verbindung steht in diesem Programm nicht zur Verfügung.\n";
            return 1;
        }
        SettingsFile settings(context_.configFile);
        NoteSender sender(settings, context_.makeLink, context_.programId);
        PrintedProgress progress(out_);
        return doc_.SendNote(id, kSendNotes, sender, progress) ? 0 : 1;
    }

    int Take(bool watch) {
        auto print = [&](const NoteItem& n, int folder) {
            out_ << FolderSection(folder) << "\t" << n.NoteId() << "\t"
                 << NoteItem::TypeName(n.Type()) << "\t" << n.Get(NoteItem::kName) << "\t"
                 << n.Get(NoteItem::kNumber) << "\t" << n.Get(NoteItem::kSubject) << "\n"
                 << std::flush;
        };
        doc_.TakeHandedOverItems(print);
        if (!watch) return 0;
        std::signal(SIGINT, [](int) { g_stop = true; });
        std::signal(SIGTERM, [](int) { g_stop = true; });
        while (!g_stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (++ticks_ % 10 == 0 && doc_.TakeHandedOverItems(print) > 0) doc_.SaveAll();
        }
        return 0;
    }

    int Move(const std::vector<std::string>& a) {
        long id = 0;
        int from = FolderIndex(a[1]), to = FolderIndex(a[2]);
        if (!ParseId(a[0], id) || from < 0 || to < 0) return Usage();
        return doc_.MoveItem(id, from, to) ? 0 : 1;
    }

    int Delete(const std::vector<std::string>& a) {
        long id = 0;
        int f = FolderIndex(a[0]);
        if (!ParseId(a[1], id) || f < 0) return Usage();
        return doc_.DeleteItem(id, f) ? 0 : 1;
    }

    const CliContext& context_;
    std::ostream& out_;
    std::ostream& err_;
    CVeloDoc doc_;
    unsigned ticks_ = 0;
};

}  // namespace

int RunTelvoraCli(const std::vector<std::string>& args, const CliContext& context,
                  std::ostream& out, std::ostream& err) {
    Cli cli(context, out, err);
    return cli.Run(args);
}
