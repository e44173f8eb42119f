// The six folders of the note store and where their files lie.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>

enum NoteFolder {
    kSendNotes = 0,
    kOutNotes = 1,
    kInNotes = 2,
    kPhoneCalls = 3,
    kRelayedNotes = 4,
    kDeletedNotes = 5,
    kFolderCount = 6
};

// "SendNotes", "OutNotes", "InNotes", "PhoneCalls", "RelayedNotes", "DeletedNotes".
const char* FolderSection(int folder);

// The longest text a note item carries, in characters.
inline constexpr size_t kMaxNoteTextChars = 2047;

// A folder's directory: the store directory and the folder's "folderPath";
// a path that is absolute already stands for itself.
std::string FolderDir(const std::string& storeDir, const std::string& folderPath);

struct NoteTextFile {
    std::string name;  // "N%Y%m%d%H%M%S.txt", without directory
    std::time_t time;  // the second the name stands for
};

// "N%Y%m%d%H%M%S.txt" of the local time.
std::string NoteTextFileName(std::time_t when);

// Creates the folder directory if needed and an empty text file named after
// the local time `now`; when that name is taken (two items within one
// second), or taken(second) says the second is, the next free second is
// used, so no item's text is overwritten. nullopt with errno set on failure.
std::optional<NoteTextFile> CreateNoteTextFile(const std::string& dir, std::time_t now,
                                               const std::function<bool(std::time_t)>& taken = {});

// The item's text: the whole file up to maxChars characters; "" when missing.
std::string ReadNoteText(const std::string& path, size_t maxChars = kMaxNoteTextChars);
// Writes text (LF line ends) to path, replacing what was there; false with
// errno set when it cannot.
bool WriteNoteText(const std::string& path, const std::string& text);
