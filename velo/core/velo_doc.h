// velo's document: the six folders of the note store, loaded from the notes
// data file when it opens. One velo program at a time owns the store; the
// answering station only hands items over.
//
// Every change of the folders is written when it is made, in one replace
// of the notes data file together with whatever else belongs to it (the
// handoff an item was taken from, the id it was given), so that a program
// that is killed at any moment leaves each item exactly once in the store.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "debuglog.h"
#include "note_folder.h"
#include "note_folders.h"
#include "note_sender.h"
#include "mail_sender.h"
#include "sms_sender.h"

class CVeloDoc {
public:
    // storeDir holds "Notes.dat", configFile is velo's Telvora.cfg.
    CVeloDoc(std::string storeDir, std::string configFile);
    ~CVeloDoc();
    CVeloDoc(const CVeloDoc&) = delete;
    CVeloDoc& operator=(const CVeloDoc&) = delete;

    // Where the document writes what it set aside or could not do.
    void SetLog(const DebugLog* log) { log_ = log; }

    // Takes the store for this process, loads the folders and takes in a
    // note that another program prepared. Fails with a message when the
    // store directory cannot be used, another velo program holds the store
    // or the folders cannot be read; then nothing is written.
    bool Open();
    // Saves the folders and gives the store up; Open may follow again.
    bool Close();
    bool IsOpen() const;
    // Writes the folders as they are in memory now and keeps the store.
    bool SaveAll();
    // Runs change, which may change the folders in memory and write keys
    // of its own, and writes the folders with it in one replace under the
    // store's lock. When change returns false nothing is written. False,
    // with a message, when the file cannot be written; the caller then
    // undoes what change did in memory.
    bool Commit(const std::function<bool(ProfileEditor&)>& change);

    // The first folder to show: [Parameters] "folderView".
    int FolderView() const;

    // Everything below requires an open document. The document's lock
    // guards the folders against the notify thread. Each operation that
    // changes the store writes it before it returns; when it fails, with a
    // message, the store (memory, file and text files) is as it was.
    std::recursive_mutex& Lock() { return mutex_; }
    CNoteFolder& Folder(int index) { return *folders_[index]; }
    const std::string& NotesFile() const { return notesFile_; }
    const std::string& StoreDir() const { return storeDir_; }
    const std::string& ConfigFile() const { return configFile_; }

    // Appends the item; a note id that another item has gives way to the
    // next free second.
    bool AddItem(NoteItem item, int folder);
    // A new item with its text in a new text file of the folder, named
    // after the item's time or the next second that is free both as a
    // name and as an id. Returns the item as stored.
    std::optional<NoteItem> CreateItem(NoteItem item, int folder, const std::string& text);
    // Moves the record to the end of the target and its text file along;
    // the item stays where it was when either cannot be moved.
    bool MoveItem(long noteId, int from, int to);
    bool DeleteItemForGood(long noteId, int folder);
    // From "DeletedNotes" for good, from elsewhere into "DeletedNotes".
    bool DeleteItem(long noteId, int folder);
    bool MarkRead(long noteId, int folder);
    std::string ReadText(const NoteItem& item, int folder);

    // Sends a note of this folder; on success it moves to "OutNotes".
    // Only ISDN notes are sent here.
    bool SendNote(long noteId, int folder, NoteSender& sender, SendProgress& progress);

    // Sends an SMS note of this folder on its own call to the centre; on
    // success it moves to "OutNotes".
    bool SendSms(long noteId, int folder, SmsSender& sender, SmsProgress& progress);
    // Sends every SMS note of one network (2, 3, 4) of this folder on one
    // call, then moves the sent ones to "OutNotes". False when the folder
    // has no SMS note at all or the call could not be made.
    // failed, when given, counts the messages that the centre did not take.
    bool SendAllSms(int folder, int network, SmsSender& sender, SmsProgress& progress,
                    int* failed = nullptr);
    // quiet: an item that is gone is no message to the user (a background
    // thread that raced with a move or a delete).
    bool SetState(long noteId, int folder, int state, bool quiet = false);
    // Sends an e-mail note of this folder through the e-mail server
    // profile; it moves to "OutNotes" as soon as the server took it.
    bool SendMail(long noteId, int folder, MailSender& sender, MailProgress& progress);
    // The number and text of an SMS note, or none when it is not there.
    std::optional<SmsToSend> SmsOf(long noteId, int folder);

    // Copies of the items of a folder that wait to be relayed (state 3),
    // in list order, with the paths of their text files.
    struct WaitingItem {
        NoteItem item;
        std::string textFile;
    };
    std::vector<WaitingItem> ItemsWaitingRelay(int folder);
    // The relay program reported these ids: each found in "InNotes", else
    // in "PhoneCalls", becomes state 5 and moves to "RelayedNotes", in one
    // write each. Returns how many moved.
    int ApplyRelayed(const std::vector<long>& ids);

    // Takes everything the answering station handed over, calls before
    // notes, into "PhoneCalls" and "InNotes", in one step with clearing the
    // handoff. A record that cannot be read is set aside under
    // "unreadableItem-NNN" of its section and reported to onSetAside.
    using ItemTaken = std::function<void(const NoteItem&, int folder)>;
    using RecordSetAside = std::function<void(const std::string& section, const std::string& key,
                                              const std::string& record)>;
    int TakeHandedOverItems(const ItemTaken& onItem = {}, const RecordSetAside& onSetAside = {});

    // A note that another program prepared ([Parameters] "noteToSend")
    // becomes a new item in "SendNotes"; true when there was one.
    bool TakePreparedNote(std::time_t now = std::time(nullptr));
    // The file that holds the text of a prepared note: "LstMsg.txt" in the
    // directory that [Parameters] "outNote" names under the store ("SendNotes"
    // when empty, which is then written). The directory is made when missing.
    static std::string PreparedNoteFile(const std::string& storeDir, const std::string& configFile);

    static constexpr const char* kStoreBusy =
        "Die Notizablage wird gerade von einem anderen Telvora-Programm benutzt.";

private:
    bool LoadAll();
    bool MoveSentSms(long noteId, int folder);
    bool OpenLocked();
    void GiveUpStore();
    int IndexOf(long noteId, int folder) const;
    std::unordered_set<long> IdsInMemory() const;
    bool RenumberSharedIds();
    void AccessError();
    void Log(const std::string& line) const;

    std::string storeDir_;
    std::string notesFile_;
    std::string configFile_;
    std::vector<std::unique_ptr<CNoteFolder>> folders_;
    mutable std::recursive_mutex mutex_;
    const DebugLog* log_ = nullptr;
    int ownerFd_ = -1;
    bool open_ = false;
};
