// How the answering station hands a received note or call to velo: the keys
// "newItem" and "newItemFlag" of the folder's section in the notes data
// file. velo may not be running, or may not have taken the last item yet,
// when the next one comes; such items wait in line behind the slot under
// "newItem-001", "newItem-002", ... and move into the slot one by one as
// velo takes them, so none is ever overwritten.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "note_item.h"
#include "profile.h"

// Puts record (a handoff record, NoteItem::FormatHandoff) into section's
// slot, or behind it when the slot is taken. False when the file cannot be
// written.
bool HandOverItem(const std::string& notesFile, const std::string& section,
                  const std::string& record);

// Hands item over with a note id that no other item of the store has: its
// own, else the next free second. With a textDir, its text goes into a new
// file there first, named after that second (or a later one whose name is
// free). The id, the file and the handoff are one step: nullopt, with
// errno set and no file left, when it cannot be made.
std::optional<NoteItem> HandOverNewItem(const std::string& notesFile, const std::string& section,
                                        NoteItem item, const std::string* textDir = nullptr,
                                        const std::string& text = "");

// The record in section's slot while its flag is 1.
std::optional<std::string> PendingItem(const std::string& notesFile, const std::string& section);

// Marks record, as PendingItem returned it, as taken: the next waiting item
// moves into the slot, or the flag goes to 0. False when the slot no longer
// holds record or the file cannot be written.
bool ConfirmTaken(const std::string& notesFile, const std::string& section,
                  const std::string& record);

// Everything waiting in section: the slot while its flag is 1, then the
// line behind it, in the order they came.
std::vector<std::string> WaitingItems(const ProfileReader& notes, const std::string& section);

// Marks everything waiting in section as taken: the flag goes to 0 and the
// line behind the slot is gone. Part of the taker's own change of the file,
// so that each item is in the handoff or in its folder, never in neither.
void TakeAllWaiting(ProfileEditor& notes, const std::string& section);

// Keeps a record that cannot be read as an item where people can find it:
// "unreadableItem-001", "unreadableItem-002", ... of section. Returns the key.
std::string SetAsideUnreadable(ProfileEditor& notes, const std::string& section,
                               const std::string& record);

// The keys under which section keeps records set aside.
std::vector<std::string> SetAsideKeys(const ProfileReader& notes, const std::string& section);
