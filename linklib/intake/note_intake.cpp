#include "note_intake.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <vector>

#include "config_keys.h"
#include "link_log.h"
#include "locations.h"
#include "msgbox.h"
#include "note_folders.h"
#include "note_handoff.h"
#include "note_item.h"
#include "paths.h"
#include "resent_notes.h"
#include "platform.h"
#include "settings_file.h"
#include "textcodec.h"

namespace {

constexpr const char* kCaption = "quorlin";
constexpr const char* kWebSite = "https://www.quillmark.de/telvora";
constexpr size_t kMaxReplyChars = 255;
constexpr unsigned short kStored = 0, kStoreFailed = 1, kBadArguments = 2;

std::mutex g_replyMutex;
std::string g_reply;  // the last reply, valid until the next RAWNOTE

// The store directory must exist; its last level is made when missing,
// else the intake files beside the application.
std::string UsableStoreDir(const std::string& appDir) {
    std::string dir = ReadRegistryValue(cfg::kRegistryStoreDir).value_or(appDir);
    mkdir(dir.c_str(), 0777);
    struct stat st;
    if (stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return dir;
    return appDir;
}

// Fields split at the first count "|"; the last takes the rest, bars and all.
bool SplitFields(const std::string& text, size_t count, std::vector<std::string>& fields) {
    fields.clear();
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        size_t bar = text.find('|', at);
        if (bar == std::string::npos) return false;
        fields.push_back(text.substr(at, bar - at));
        at = bar + 1;
    }
    fields.push_back(text.substr(at));
    return true;
}

std::string WithLfLineEnds(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

void StoreMissingMessage(const std::string& notesFile) {
    ShowMessageBox("Die Datei '" + notesFile +
                       "'\nzuständig für die Speicherung der Notizen\nwurde nicht gefunden!\n\n"
                       "Bitte korregieren dieser Fehler oder \ninstallieren Sie Telvora. Die "
                       "neueste\nVersion von Telvora finden Sie auf der\nWEB-Seite " +
                       kWebSite,
                   kCaption, MB_ICONEXCLAMATION);
}

// The folder's directory as the notes data file names it; an empty name is
// written back as the section name.
std::string FolderDirOf(const IntakePaths& paths, const char* section) {
    SettingsFile notes(paths.notesFile);
    std::string path = notes.ReadText(section, "folderPath");
    if (path.empty()) {
        path = section;
        notes.WriteText(section, "folderPath", path.c_str());
    }
    return FolderDir(paths.storeDir, path);
}

// velo shows the new item; a running velo finds it on its own.
void StartVelo() {
    std::string velo = JoinPath(ProgramDir(), "velo");
    if (access(velo.c_str(), X_OK) != 0) {
        ShowMessageBox(std::string("Das Programm 'velo' wurde nicht gefunden!\n\n"
                                   "Bitte installieren Sie Telvora. Die neueste\nVersion von "
                                   "Telvora finden Sie auf der\nWEB-Seite ") +
                           kWebSite,
                       kCaption, MB_ICONEXCLAMATION);
        return;
    }
    StartDetachedProgram(velo, {"-n"}, [](int status) {
        // velo ends with 1 when it cannot start, mostly for want of a
        // display; that is said once, the notes are filed all the same.
        static std::atomic<bool> said{false};
        if (status != 1 || said.exchange(true)) return;
        LinkLog().Write("  StartVelo: velo ended at once with status 1\n");
        ShowMessageBox("velo konnte nicht starten (Status 1, meist weil keine grafische Anzeige "
                       "offen ist). Notizen und Anrufe werden weiter abgelegt; 'telvora list' "
                       "zeigt sie.",
                       kCaption, MB_ICONEXCLAMATION);
    });
}

int StateFor(const IntakePaths& paths, const char* relaySection) {
    SettingsFile cfg(paths.configFile);
    return cfg.Read(cfg::RelayKeys(relaySection).relay) > 0 ? kStateWaitingRelay : kStateReceived;
}

unsigned short FileNote(const IntakePaths& paths, const IncomingNote& in);

// Everything the sender sent, so that a resend is recognised.
std::string NoteKey(const IncomingNote& in) {
    std::string key;
    for (const std::string* field : {&in.info, &in.number, &in.name, &in.subject, &in.text}) {
        key += *field;
        key += '\x1F';
    }
    return key;
}

unsigned short StoreNote(const IntakePaths& paths, const IncomingNote& in) {
    auto now = RecentNotes::Clock::now();
    std::string key = NoteKey(in);
    if (TheRecentNotes().FiledLately(paths.notesFile, key, now)) {
        LinkLog().Write("  StoreNote: the same note came again shortly after, filed once\n");
        return kStored;
    }
    unsigned short result = FileNote(paths, in);
    if (result == kStored) TheRecentNotes().Filed(paths.notesFile, key, now);
    return result;
}

unsigned short FileNote(const IntakePaths& paths, const IncomingNote& in) {
    std::string dir = FolderDirOf(paths, FolderSection(kInNotes));
    NoteItem item(std::time(nullptr));
    item.Set(NoteItem::kInfo, in.info);
    item.Set(NoteItem::kMsn, in.msn);
    item.SetNumber(NoteItem::kState, StateFor(paths, cfg::kRelayNote));
    item.SetNumber(NoteItem::kRead, 0);
    item.Set(NoteItem::kName, in.name);
    item.Set(NoteItem::kNumber, in.number);
    item.Set(NoteItem::kSubject, in.subject);
    // The id, the text file and the handoff are made in one step: the id is
    // no other item's, and the file is this item's alone.
    if (!HandOverNewItem(paths.notesFile, FolderSection(kInNotes), item, &dir,
                         WithLfLineEnds(in.text))) {
        struct stat st;
        if (stat(dir.c_str(), &st) != 0) StoreMissingMessage(paths.notesFile);
        return kStoreFailed;
    }
    StartVelo();
    return kStored;
}

// The reply file's text, at most 255 characters.
std::string ReplyText(const IntakePaths& paths) {
    SettingsFile cfg(paths.configFile);
    std::string id = cfg.ReadText(cfg::kParameters, "respMsgID", "");
    std::string name = cfg.ReadText(cfg::kParameters, cfg::RespMsgKey(id).c_str(), "");
    std::string path = JoinPath(DirOf(paths.configFile), name);
    LinkLog().Printf("--GetRespMsgFileName: lpszMsgPathFileName=[%s]\n", path.c_str());
    if (name.empty()) return "";
    return ReadNoteText(path, kMaxReplyChars);
}

}  // namespace

std::optional<IncomingNote> ReadNoteArgs(const char* args, bool raw, const char* connectionPar) {
    if (!args || !*args) return std::nullopt;
    std::vector<std::string> f;
    if (!SplitFields(Cp1252ToUtf8(args), raw ? 6 : 3, f)) return std::nullopt;
    if (!raw) return IncomingNote{"", "", f[0], f[1], f[2], f[3]};
    std::string msn = connectionPar ? Cp1252ToUtf8(connectionPar) : "";
    return IncomingNote{f[1], msn, f[3], f[4], f[5], f[6]};
}

IntakePaths IntakePathsFor(const std::string& appName) {
    IntakePaths paths;
    std::string appDir = DirOf(appName);
    if (appDir.empty()) appDir = "/";
    paths.configFile = JoinPath(appDir, cfg::kFileName);
    paths.storeDir = UsableStoreDir(appDir);
    paths.notesFile = JoinPath(paths.storeDir, "Notes.dat");
    return paths;
}

unsigned short RCmdNote(unsigned int, char* appName, char*, char* args, unsigned char**,
                        unsigned long*) {
    LinkLog().Write("++RCmdNote\n");
    auto note = ReadNoteArgs(args, false, nullptr);
    if (!appName || !*appName || !note) return kBadArguments;
    return StoreNote(IntakePathsFor(appName), *note);
}

unsigned short RCmdRawNote(unsigned int, char* appName, char* connectionPar, char* args,
                           unsigned char** reply, unsigned long* replyLength) {
    LinkLog().Write("++RCmdRawNote:\n");
    auto note = ReadNoteArgs(args, true, connectionPar);
    if (!appName || !*appName || !note) return kBadArguments;
    IntakePaths paths = IntakePathsFor(appName);
    unsigned short result = StoreNote(paths, *note);
    if (result != kStored) return result;
    std::lock_guard<std::mutex> lock(g_replyMutex);
    g_reply = Utf8ToCp1252(ReplyText(paths));
    if (reply) *reply = reinterpret_cast<unsigned char*>(g_reply.data());
    if (replyLength) *replyLength = g_reply.size();
    LinkLog().Write("--RCmdRawNote:\n");
    return kStored;
}

int PhoneCallIntake(const std::string& appName, std::time_t time, const std::string& msn,
                    const std::string& number, const std::string& name, const std::string& info) {
    LinkLog().Write("++PhoneCall\n");
    if (appName.empty()) return 0;
    IntakePaths paths = IntakePathsFor(appName);
    FolderDirOf(paths, FolderSection(kPhoneCalls));
    NoteItem item(time);
    item.SetNumber(NoteItem::kType, static_cast<int>(NoteType::Call));
    item.SetNumber(NoteItem::kRead, 0);
    item.Set(NoteItem::kInfo, info);
    item.Set(NoteItem::kMsn, msn);
    item.SetNumber(NoteItem::kState, StateFor(paths, cfg::kRelayCall));
    item.Set(NoteItem::kName, name);
    item.Set(NoteItem::kNumber, number);
    item.Set(NoteItem::kSubject, "Anruf");
    // A call has no text, so it names no text file: a name of a file it did
    // not make could be another item's, whose text it would then take along
    // or delete. Its id is no other item's.
    if (!HandOverNewItem(paths.notesFile, FolderSection(kPhoneCalls), item)) return 0;
    StartVelo();
    LinkLog().Write("--PhoneCall\n");
    return 1;
}
