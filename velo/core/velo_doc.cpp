#include "velo_doc.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "app_caption.h"
#include "config_keys.h"
#include "msgbox.h"
#include "note_handoff.h"
#include "paths.h"
#include "settings_file.h"

namespace {

constexpr const char* kPreparedNoteFile = "LstMsg.txt";

// The folder that a handed-over item of each section goes into, in the
// order they are taken.
constexpr int kHandoffFolders[] = {kPhoneCalls, kInNotes};

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
    if (open_) Close();
}

bool CVeloDoc::Open() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (open_) return true;
    mkdir(storeDir_.c_str(), 0777);
    // The owner's lock lives as long as this process holds the store; the
    // kernel drops it when the process ends in any way.
    int fd = open((notesFile_ + ".owner").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (fd >= 0) close(fd);
        ShowMessageBox(kStoreBusy, kAppCaption, MB_ICONSTOP);
        return false;
    }
    ownerFd_ = fd;
    if (!LoadAll()) {
        ShowMessageBox("Cannot read folders information", kAppCaption, MB_ICONSTOP);
        close(ownerFd_);
        ownerFd_ = -1;
        return false;
    }
    open_ = true;
    TakePreparedNote();
    return true;
}

bool CVeloDoc::Close() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!open_) return true;
    bool saved = SaveAll();
    if (!saved) ShowMessageBox("Cannot write folders information", kAppCaption, MB_ICONSTOP);
    close(ownerFd_);
    ownerFd_ = -1;
    open_ = false;
    return saved;
}

bool CVeloDoc::LoadAll() {
    for (auto& f : folders_) {
        if (!f->Load(notesFile_, storeDir_)) return false;
    }
    return true;
}

bool CVeloDoc::SaveAll() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    bool saved = true;
    bool written = UpdatePrivateProfile(notesFile_, [&](ProfileEditor& e) {
        for (auto& f : folders_) saved = f->Save(e) && saved;
        return true;
    });
    return written && saved;
}

int CVeloDoc::FolderView() const {
    return SettingsFile(configFile_).Read(cfg::kFolderView);
}

void CVeloDoc::AddItem(NoteItem item, int folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    folders_[folder]->Items().push_back(std::move(item));
}

void CVeloDoc::AccessError() {
    ShowMessageBox("Cannot access NoteItem", kAppCaption, MB_ICONSTOP);
}

int CVeloDoc::IndexOf(long noteId, int folder) {
    auto& items = folders_[folder]->Items();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].NoteId() == noteId) return static_cast<int>(i);
    }
    return -1;
}

bool CVeloDoc::MoveTextFile(NoteItem& item, const CNoteFolder& from, const CNoteFolder& to) {
    std::string source = from.TextPath(item);
    if (source.empty() || access(source.c_str(), F_OK) != 0) return true;  // nothing to carry
    mkdir(to.Dir().c_str(), 0777);
    std::string target = to.TextPath(item);
    if (access(target.c_str(), F_OK) == 0) {
        // Another item's text has that name there: this one takes a free name.
        auto fresh = CreateNoteTextFile(to.Dir(), std::time(nullptr));
        if (!fresh) return false;
        target = JoinPath(to.Dir(), fresh->name);
        item.Set(NoteItem::kTextFile, fresh->name);
    }
    std::error_code ec;
    std::filesystem::rename(source, target, ec);
    if (ec) {
        // Another file system: copy, then remove the original.
        std::filesystem::copy_file(source, target,
                                   std::filesystem::copy_options::overwrite_existing, ec);
        if (ec) return false;
        std::filesystem::remove(source, ec);
    }
    return true;
}

bool CVeloDoc::MoveItem(long noteId, int from, int to) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    int index = IndexOf(noteId, from);
    if (index < 0) {
        AccessError();
        return false;
    }
    if (from == to) return true;
    auto& source = folders_[from]->Items();
    NoteItem item = source[static_cast<size_t>(index)];
    if (!MoveTextFile(item, *folders_[from], *folders_[to])) return false;
    source.erase(source.begin() + index);
    folders_[to]->Items().push_back(std::move(item));
    return true;
}

bool CVeloDoc::DeleteItemForGood(long noteId, int folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    int index = IndexOf(noteId, folder);
    if (index < 0) {
        AccessError();
        return false;
    }
    auto& items = folders_[folder]->Items();
    std::string text = folders_[folder]->TextPath(items[static_cast<size_t>(index)]);
    if (!text.empty()) unlink(text.c_str());
    items.erase(items.begin() + index);
    return true;
}

bool CVeloDoc::DeleteItem(long noteId, int folder) {
    if (folder == kDeletedNotes) return DeleteItemForGood(noteId, folder);
    return MoveItem(noteId, folder, kDeletedNotes);
}

std::optional<NoteTextFile> CVeloDoc::NewTextFile(int folder, std::time_t now) {
    return CreateNoteTextFile(folders_[folder]->Dir(), now);
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

int CVeloDoc::TakeHandedOverItems(const std::function<void(const NoteItem&, int)>& onItem) {
    int taken = 0;
    for (int folder : kHandoffFolders) {
        const char* section = FolderSection(folder);
        while (auto record = PendingItem(notesFile_, section)) {
            if (!open_) {
                ShowMessageBox("CVeloDoc::GetActiveDoc(): Fehler", kAppCaption, MB_OK);
                return taken;
            }
            auto item = NoteItem::Parse(*record);
            if (!item) break;  // stays pending
            std::lock_guard<std::recursive_mutex> lock(mutex_);
            if (!ConfirmTaken(notesFile_, section, *record)) break;
            AddItem(*item, folder);
            ++taken;
            if (onItem) onItem(*item, folder);
        }
    }
    return taken;
}

bool CVeloDoc::TakePreparedNote(std::time_t now) {
    SettingsFile cfg(configFile_);
    if (cfg.Read(cfg::kNoteToSend) == 0) return false;
    cfg.Write(cfg::kNoteToSend, 0);
    std::string handOver = cfg.Read(cfg::kOutNote);
    if (handOver.empty()) {
        handOver = FolderSection(kSendNotes);
        cfg.Write(cfg::kOutNote, handOver);
    }
    std::string handOverDir = FolderDir(storeDir_, handOver);
    mkdir(handOverDir.c_str(), 0777);

    auto file = NewTextFile(kSendNotes, now);
    NoteItem note(file ? file->time : now);
    note.Set(NoteItem::kName, cfg.Read(cfg::kLastName));
    note.Set(NoteItem::kNumber, cfg.Read(cfg::kLastTelephone));
    note.Set(NoteItem::kSubject, cfg.Read(cfg::kLastSubject));
    if (file) {
        note.Set(NoteItem::kTextFile, file->name);
        WriteNoteText(folders_[kSendNotes]->TextPath(note),
                      ReadNoteText(JoinPath(handOverDir, kPreparedNoteFile)));
    }
    AddItem(std::move(note), kSendNotes);
    return true;
}
