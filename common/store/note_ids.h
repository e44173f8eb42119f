// Note ids: the second an item was created, unique in the whole store, so
// that showing, moving or deleting an item by its id reaches that item and
// no other. Items created in one second take the following free seconds.
#pragma once

#include <ctime>
#include <string_view>
#include <unordered_set>

#include "profile.h"

// The note id (field 1) of a note record, 0 when it has none.
long RecordNoteId(std::string_view record);

// The ids of every item in the notes data file: the records of the six
// folders and the items waiting in the handoff.
std::unordered_set<long> NoteIdsInStore(const ProfileReader& notes);

// The ids of the items waiting in the handoff.
std::unordered_set<long> NoteIdsWaiting(const ProfileReader& notes);

// from, or the first second after it that is no id in used (after the
// largest id there is, the first second from 1 on).
long FreeNoteId(const std::unordered_set<long>& used, long from);
