// How the answering station hands a received note or call to velo: the keys
// "newItem" and "newItemFlag" of the folder's section in the notes data
// file. velo may not be running, or may not have taken the last item yet,
// when the next one comes; such items wait in line behind the slot under
// "newItem-001", "newItem-002", ... and move into the slot one by one as
// velo takes them, so none is ever overwritten.
#pragma once

#include <optional>
#include <string>

// Puts record (a handoff record, NoteItem::FormatHandoff) into section's
// slot, or behind it when the slot is taken. False when the file cannot be
// written.
bool HandOverItem(const std::string& notesFile, const std::string& section,
                  const std::string& record);

// The record in section's slot while its flag is 1.
std::optional<std::string> PendingItem(const std::string& notesFile, const std::string& section);

// Marks record, as PendingItem returned it, as taken: the next waiting item
// moves into the slot, or the flag goes to 0. False when the slot no longer
// holds record or the file cannot be written.
bool ConfirmTaken(const std::string& notesFile, const std::string& section,
                  const std::string& record);
