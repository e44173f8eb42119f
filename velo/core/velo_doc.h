// velo's document: the six folders of the note store, loaded from the notes
// data file when it opens and written back when it closes. One velo program
// at a time owns the store; the answering station only hands items over.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "note_folder.h"
#include "note_folders.h"
#include "note_sender.h"

class CVeloDoc {
public:
    // notesFile is the store's "Notes.dat", configFile velo's Telvora.cfg.
    CVeloDoc(std::string storeDir, std::string configFile);
    ~CVeloDoc();
    CVeloDoc(const CVeloDoc&) = delete;
    CVeloDoc& operator=(const CVeloDoc&) = delete;

    // Takes the store for this process, loads the folders and takes in a
    // note that another program prepared. Fails with a message when another
    // velo program holds the store or the folders cannot be read.
    bool Open();
    // Saves the folders and gives the store up; Open may follow again.
    bool Close();
    bool IsOpen() const { return open_; }
    // Writes the folders now and keeps the store.
    bool SaveAll();

    // The first folder to show: [Parameters] "folderView".
    int FolderView() const;

    // Everything below requires an open document. The document's lock
    // guards the folders against the notify thread.
    std::recursive_mutex& Lock() { return mutex_; }
    CNoteFolder& Folder(int index) { return *folders_[index]; }
    const std::string& NotesFile() const { return notesFile_; }

    void AddItem(NoteItem item, int folder);
    // Moves the record to the end of the target and its text file along;
    // the item stays where it was when the file cannot be moved.
    bool MoveItem(long noteId, int from, int to);
    bool DeleteItemForGood(long noteId, int folder);
    // From "DeletedNotes" for good, from elsewhere into "DeletedNotes".
    bool DeleteItem(long noteId, int folder);
    // A new, empty text file in the folder, named after now (or the next
    // free second); its time also serves as the new item's note id.
    std::optional<NoteTextFile> NewTextFile(int folder, std::time_t now = std::time(nullptr));
    std::string ReadText(const NoteItem& item, int folder);

    // Sends a note of this folder; on success it moves to "OutNotes".
    // Only ISDN notes are sent here.
    bool SendNote(long noteId, int folder, NoteSender& sender, SendProgress& progress);

    // Takes what the answering station handed over, calls before notes,
    // into "PhoneCalls" and "InNotes"; calls onItem for each item taken.
    // A record that cannot be read stays pending.
    int TakeHandedOverItems(const std::function<void(const NoteItem&, int folder)>& onItem = {});

    // A note that another program prepared ([Parameters] "noteToSend")
    // becomes a new item in "SendNotes"; true when there was one.
    bool TakePreparedNote(std::time_t now = std::time(nullptr));

    static constexpr const char* kStoreBusy =
        "Die Notizablage wird gerade von einem anderen Telvora-Programm benutzt.";

private:
    bool LoadAll();
    int IndexOf(long noteId, int folder);
    bool MoveTextFile(NoteItem& item, const CNoteFolder& from, const CNoteFolder& to);
    void AccessError();

    std::string storeDir_;
    std::string notesFile_;
    std::string configFile_;
    std::vector<std::unique_ptr<CNoteFolder>> folders_;
    std::recursive_mutex mutex_;
    int ownerFd_ = -1;
    bool open_ = false;
};
