#include "velo_doc.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app_caption.h"
#include "atomic_file.h"
#include "config_keys.h"
#include "locations.h"
#include "msgbox.h"
#include "note_handoff.h"
#include "note_ids.h"
#include "paths.h"
#include "profile_document.h"
#include "settings_file.h"

namespace {

constexpr const char* kPreparedNoteFile = "LstMsg.txt";

// The folder that a handed-over item of each section goes into, in the
// order they are taken.
constexpr int kHandoffFolders[] = {kPhoneCalls, kInNotes};

bool Exists(const std::string& path) {
    return !path.empty() && access(path.c_str(), F_OK) == 0;
}

void Message(const std::string& text) {
    ShowMessageBox(text, kAppCaption, MB_ICONSTOP);
}

// A copy of source as a new file at target; target must not exist.
bool CopyNewFile(const std::string& source, const std::string& target) {
    int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        int error = errno;
        close(in);
        errno = error;
        return false;
    }
    char buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        if (!WriteAllTo(out, std::string_view(buf, static_cast<size_t>(n)))) {
            ok = false;
            break;
        }
    }
    int error = errno;
    close(in);
    ok = close(out) == 0 && ok;
    if (!ok) {
        unlink(target.c_str());
        errno = error;
    }
    return ok;
}

}  // namespace

CVeloDoc::CVeloDoc(std::string storeDir, std::string configFile)
    : storeDir_(std::move(storeDir)),
      notesFile_(JoinPath(storeDir_, "Notes.dat")),
      configFile_(std::move(configFile)) {
    for (int f = 0; f < kFolderCount; ++f) {
        folders_.push_back(std::make_unique<CNoteFolder>(f, FolderSection(f)));
    }
}

CVeloDoc::~CVeloDoc() {
    Close();
}

bool CVeloDoc::IsOpen() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return open_;
}

void CVeloDoc::Log(const std::string& line) const {
    if (log_) log_->Printf("%s\n", line.c_str());
}

bool CVeloDoc::Open() {
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        if (open_) return true;
        if (!OpenLocked()) return false;
        open_ = true;
    }
    TakePreparedNote();
    return true;
}

bool CVeloDoc::OpenLocked() {
    mkdir(storeDir_.c_str(), 0777);
    // The owner's lock lives as long as this process holds the store; the
    // kernel drops it when the process ends in any way.
    int fd = open((notesFile_ + ".owner").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        Message(
            "Die Notizablage '" + storeDir_ + "' kann nicht benutzt werden (" +
            GermanErrorText(errno) +
            "). Bitte legen Sie das Verzeichnis an und geben Sie Schreibrechte, oder nennen Sie "
            "unter [" +
            cfg::kRegistryKey + "] StoreDir= in '" + RegistryFile() + "' ein anderes Verzeichnis.");
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        Message(kStoreBusy);
        return false;
    }
    ownerFd_ = fd;
    if (!LoadAll()) {
        GiveUpStore();
        return false;
    }
    return true;
}

void CVeloDoc::GiveUpStore() {
    if (ownerFd_ >= 0) close(ownerFd_);
    ownerFd_ = -1;
}

bool CVeloDoc::Close() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!open_) return true;
    bool saved = SaveAll();
    if (!saved) Message("Cannot write folders information");
    GiveUpStore();
    open_ = false;
    return saved;
}

bool CVeloDoc::LoadAll() {
    auto notes = ReadProfile(notesFile_);
    if (!notes && errno != ENOENT) {
        int error = errno;
        Message("Cannot read folders information");
        Message("Die Datei '" + notesFile_ + "' kann nicht gelesen werden (" +
                GermanErrorText(error) + "). Es wurde nichts geändert.");
        return false;
    }
    ProfileDocument empty;
    ProfileReader reader(notes ? *notes : empty);
    size_t unreadable = 0;
    bool namesMissing = false;
    for (auto& f : folders_) {
        f->Load(reader, storeDir_);
        unreadable += f->Unreadable().size();
        namesMissing |= f->NamesMissing();
    }
    bool renumbered = RenumberSharedIds();
    if (!namesMissing && unreadable == 0 && !renumbered) return true;
    // What the load had to mend is written now; a store that cannot be
    // written can still be read.
    bool written = Commit([&](ProfileEditor& e) {
        for (auto& f : folders_) f->WriteMissingNames(e);
        return true;
    });
    if (unreadable > 0 && written) {
        Message("In '" + notesFile_ + "' standen Einträge, die keine lesbaren Notizen sind (" +
                std::to_string(unreadable) +
                "). Sie wurden unter den Schlüsseln unreadableItem-NNN ihres Ordners "
                "beiseitegelegt; bitte prüfen Sie sie dort.");
    }
    return true;
}

std::unordered_set<long> CVeloDoc::IdsInMemory() const {
    std::unordered_set<long> ids;
    for (const auto& f : folders_) {
        for (const NoteItem& n : f->Items()) ids.insert(n.NoteId());
    }
    return ids;
}

// Older stores may hold two items with one id, which only the first of
// them answered to. The later one takes the next free second.
bool CVeloDoc::RenumberSharedIds() {
    std::unordered_set<long> all = IdsInMemory();
    std::unordered_set<long> seen;
    bool renumbered = false;
    for (auto& f : folders_) {
        for (NoteItem& n : f->Items()) {
            long id = n.NoteId();
            if (seen.insert(id).second) continue;
            long fresh = FreeNoteId(all, id);
            all.insert(fresh);
            seen.insert(fresh);
            n.SetNumber(NoteItem::kNoteId, fresh);
            renumbered = true;
            Log("Notiz-Id " + std::to_string(id) + " in " + f->Section() + " doppelt: neu " +
                std::to_string(fresh));
        }
    }
    return renumbered;
}

bool CVeloDoc::Commit(const std::function<bool(ProfileEditor&)>& change) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    bool changed = false;
    bool written = UpdatePrivateProfile(notesFile_, [&](ProfileEditor& e) {
        if (change && !change(e)) return false;
        for (auto& f : folders_) f->Save(e);
        changed = true;
        return true;
    });
    if (!written) {
        int error = errno;
        Message("Die Datei '" + notesFile_ + "' kann nicht geschrieben werden (" +
                GermanErrorText(error) +
                "). Es wurde nichts geändert; bitte prüfen Sie die "
                "Rechte und den freien Platz im Verzeichnis '" +
                storeDir_ + "'.");
        Log("**CVeloDoc::Commit " + notesFile_ + ": " + GermanErrorText(error));
        return false;
    }
    if (changed) {
        for (auto& f : folders_) f->ForgetUnreadable();
    }
    return true;
}

bool CVeloDoc::SaveAll() {
    return Commit({});
}

int CVeloDoc::FolderView() const {
    return SettingsFile(configFile_).Read(cfg::kFolderView);
}

bool CVeloDoc::AddItem(NoteItem item, int folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto& items = folders_[folder]->Items();
    bool added = false;
    bool written = Commit([&](ProfileEditor& e) {
        std::unordered_set<long> used = IdsInMemory();
        used.merge(NoteIdsWaiting(e));
        item.SetNumber(NoteItem::kNoteId, FreeNoteId(used, item.NoteId()));
        items.push_back(item);
        added = true;
        return true;
    });
    if (!written && added) items.pop_back();
    return written && added;
}

std::optional<NoteItem> CVeloDoc::CreateItem(NoteItem item, int folder, const std::string& text) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    CNoteFolder& f = *folders_[folder];
    std::string path;
    int error = 0;
    bool added = false;
    bool written = Commit([&](ProfileEditor& e) {
        std::unordered_set<long> used = IdsInMemory();
        used.merge(NoteIdsWaiting(e));
        auto file = CreateNoteTextFile(f.Dir(), item.NoteId(), [&](std::time_t t) {
            return used.count(static_cast<long>(t)) > 0 || f.Claims(NoteTextFileName(t)) > 0;
        });
        if (!file) {
            error = errno;
            return false;
        }
        path = JoinPath(f.Dir(), file->name);
        if (!WriteNoteText(path, text)) {
            error = errno;
            return false;
        }
        item.SetNumber(NoteItem::kNoteId, static_cast<long>(file->time));
        item.Set(NoteItem::kTextFile, file->name);
        f.Items().push_back(item);
        added = true;
        return true;
    });
    if (written && added) return item;
    if (added) f.Items().pop_back();
    if (!path.empty()) unlink(path.c_str());
    if (error != 0) {
        Message("Datei kann nicht erzeugt werden");
        Message("Die Textdatei der neuen Notiz kann im Verzeichnis '" + f.Dir() +
                "' nicht angelegt werden (" + GermanErrorText(error) +
                "). Bitte prüfen Sie das Verzeichnis und seine Rechte.");
    }
    return std::nullopt;
}

void CVeloDoc::AccessError() {
    ShowMessageBox("Cannot access NoteItem", kAppCaption, MB_ICONSTOP);
}

int CVeloDoc::IndexOf(long noteId, int folder) const {
    const auto& items = folders_[folder]->Items();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].NoteId() == noteId) return static_cast<int>(i);
    }
    return -1;
}

bool CVeloDoc::MoveItem(long noteId, int from, int to) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    int index = IndexOf(noteId, from);
    if (index < 0) {
        AccessError();
        return false;
    }
    if (from == to) return true;
    CNoteFolder& source = *folders_[from];
    CNoteFolder& target = *folders_[to];
    const NoteItem original = source.Items()[static_cast<size_t>(index)];
    NoteItem item = original;
    std::string sourceText = source.TextPath(original);
    std::string copy;
    if (Exists(sourceText)) {
        // The text is copied first and its original removed only once the
        // record has moved: a kill in between leaves a spare file, never
        // an item without its text.
        const std::string& name = original.Get(NoteItem::kTextFile);
        mkdir(target.Dir().c_str(), 0777);
        copy = JoinPath(target.Dir(), name);
        if (target.Claims(name) > 0 || !CopyNewFile(sourceText, copy)) {
            // That name is another item's there: this one takes a free one.
            auto fresh = CreateNoteTextFile(target.Dir(), std::time(nullptr), [&](std::time_t t) {
                return target.Claims(NoteTextFileName(t)) > 0;
            });
            copy = fresh ? JoinPath(target.Dir(), fresh->name) : "";
            if (fresh) unlink(copy.c_str());
            if (!fresh || !CopyNewFile(sourceText, copy)) {
                Message("Die Textdatei '" + sourceText + "' kann nicht nach '" + target.Dir() +
                        "' kopiert werden (" + GermanErrorText(errno) + "). Der Eintrag " +
                        std::to_string(noteId) + " bleibt in " + source.Section() + ".");
                return false;
            }
            item.Set(NoteItem::kTextFile, fresh->name);
        }
    } else {
        // A name without its file would claim whatever file of that name
        // the target folder has or gets.
        item.Set(NoteItem::kTextFile, "");
    }
    auto& items = source.Items();
    items.erase(items.begin() + index);
    target.Items().push_back(item);
    if (!Commit({})) {
        target.Items().pop_back();
        items.insert(items.begin() + index, original);
        if (!copy.empty()) unlink(copy.c_str());
        return false;
    }
    // The original goes, unless another item of the source folder names it too.
    if (!copy.empty() && source.Claims(original.Get(NoteItem::kTextFile)) == 0) {
        unlink(sourceText.c_str());
    }
    return true;
}

bool CVeloDoc::DeleteItemForGood(long noteId, int folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    int index = IndexOf(noteId, folder);
    if (index < 0) {
        AccessError();
        return false;
    }
    CNoteFolder& f = *folders_[folder];
    auto& items = f.Items();
    const NoteItem item = items[static_cast<size_t>(index)];
    items.erase(items.begin() + index);
    if (!Commit({})) {
        items.insert(items.begin() + index, item);
        return false;
    }
    // A text that another item still names is that item's too.
    std::string text = f.TextPath(item);
    if (!text.empty() && f.Claims(item.Get(NoteItem::kTextFile)) == 0) unlink(text.c_str());
    return true;
}

bool CVeloDoc::DeleteItem(long noteId, int folder) {
    if (folder == kDeletedNotes) return DeleteItemForGood(noteId, folder);
    return MoveItem(noteId, folder, kDeletedNotes);
}

bool CVeloDoc::MarkRead(long noteId, int folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    NoteItem* item = folders_[folder]->Find(noteId);
    if (!item) {
        AccessError();
        return false;
    }
    if (item->IsRead()) return true;
    std::string before = item->Get(NoteItem::kRead);
    item->SetNumber(NoteItem::kRead, 1);
    if (Commit({})) return true;
    item->Set(NoteItem::kRead, before);
    return false;
}

std::string CVeloDoc::ReadText(const NoteItem& item, int folder) {
    std::string path = folders_[folder]->TextPath(item);
    return path.empty() ? std::string() : ReadNoteText(path);
}

bool CVeloDoc::SendNote(long noteId, int folder, NoteSender& sender, SendProgress& progress) {
    NoteToSend note;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        NoteItem* item = folders_[folder]->Find(noteId);
        if (!item) {
            AccessError();
            return false;
        }
        if (item->Type() != static_cast<int>(NoteType::Note)) {
            ShowMessageBox("Dokument kann nicht gesendet werden", kAppCaption, MB_ICONSTOP);
            return false;
        }
        note.number = item->Get(NoteItem::kNumber);
        note.subject = item->Get(NoteItem::kSubject);
        // One character more than a note may have, so that an oversized
        // text is refused rather than cut.
        std::string path = folders_[folder]->TextPath(*item);
        if (!path.empty()) note.text = ReadNoteText(path, NoteSender::kMaxTextChars + 1);
    }
    if (!sender.Send(note, progress)) return false;
    return MoveItem(noteId, folder, kOutNotes);
}

int CVeloDoc::TakeHandedOverItems(const ItemTaken& onItem, const RecordSetAside& onSetAside) {
    // A look first, without the lock: most passes find nothing.
    auto notes = ReadProfile(notesFile_);
    if (!notes) return 0;
    bool pending = false;
    for (int folder : kHandoffFolders) {
        pending |= !WaitingItems(ProfileReader(*notes), FolderSection(folder)).empty();
    }
    if (!pending) return 0;
    struct Taken {
        NoteItem item;
        int folder;
    };
    struct Aside {
        std::string section, key, record;
    };
    std::vector<Taken> taken;
    std::vector<Aside> aside;
    bool open = true;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        open = open_;
    }
    if (!open) {
        // What is pending stays so until a document takes it.
        ShowMessageBox("CVeloDoc::GetActiveDoc(): Fehler", kAppCaption, MB_OK);
        return 0;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        if (!open_) return 0;
        // Taking an item out of the handoff and adding it to its folder is
        // one replace of the file: it is in one place or the other, always.
        bool written = Commit([&](ProfileEditor& e) {
            std::unordered_set<long> used = IdsInMemory();
            for (int folder : kHandoffFolders) {
                const char* section = FolderSection(folder);
                for (const std::string& record : WaitingItems(e, section)) {
                    auto item = NoteItem::Parse(record);
                    if (!item) {
                        if (!record.empty()) {
                            aside.push_back(
                                Aside{section, SetAsideUnreadable(e, section, record), record});
                        }
                        continue;
                    }
                    long id = FreeNoteId(used, item->NoteId());
                    used.insert(id);
                    item->SetNumber(NoteItem::kNoteId, id);
                    folders_[folder]->Items().push_back(*item);
                    taken.push_back(Taken{*item, folder});
                }
                TakeAllWaiting(e, section);
            }
            return true;
        });
        if (!written) {
            for (auto t = taken.rbegin(); t != taken.rend(); ++t)
                folders_[t->folder]->Items().pop_back();
            return 0;
        }
    }
    for (const Aside& a : aside) {
        Log("Unlesbarer Eintrag der Übergabe in [" + a.section + "] als " + a.key +
            " beiseitegelegt: " + a.record);
        if (onSetAside) onSetAside(a.section, a.key, a.record);
    }
    for (const Taken& t : taken) {
        if (onItem) onItem(t.item, t.folder);
    }
    return static_cast<int>(taken.size());
}

bool CVeloDoc::TakePreparedNote(std::time_t now) {
    SettingsFile cfg(configFile_);
    if (cfg.Read(cfg::kNoteToSend) == 0) return false;
    std::string preparedText = PreparedNoteFile(storeDir_, configFile_);

    NoteItem note(now);
    note.Set(NoteItem::kName, cfg.Read(cfg::kLastName));
    note.Set(NoteItem::kNumber, cfg.Read(cfg::kLastTelephone));
    note.Set(NoteItem::kSubject, cfg.Read(cfg::kLastSubject));
    // The note first, then the flag: a kill in between makes the note
    // twice at the next start, which the user sees, rather than never.
    if (!CreateItem(note, kSendNotes, ReadNoteText(preparedText))) return false;
    if (!cfg.Write(cfg::kNoteToSend, 0)) {
        Message("Die vorbereitete Notiz steht in SendNotes, aber [Parameters] noteToSend= in '" +
                configFile_ + "' kann nicht auf 0 gesetzt werden (" + GermanErrorText(errno) +
                "). Bitte setzen Sie den Wert selbst, sonst entsteht sie beim nächsten Start noch "
                "einmal.");
    }
    return true;
}

std::string CVeloDoc::PreparedNoteFile(const std::string& storeDir, const std::string& configFile) {
    SettingsFile cfg(configFile);
    std::string handOver = cfg.Read(cfg::kOutNote);
    if (handOver.empty()) {
        handOver = FolderSection(kSendNotes);
        cfg.Write(cfg::kOutNote, handOver);
    }
    std::string handOverDir = FolderDir(storeDir, handOver);
    mkdir(handOverDir.c_str(), 0777);
    return JoinPath(handOverDir, kPreparedNoteFile);
}
