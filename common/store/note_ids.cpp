#include "note_ids.h"

#include <cstdlib>
#include <limits>
#include <string>

#include "item_list.h"
#include "note_folders.h"
#include "note_handoff.h"

long RecordNoteId(std::string_view record) {
    // "-1|type|id|...": the id stands behind the second bar.
    size_t first = record.find('|');
    if (first == std::string_view::npos) return 0;
    size_t second = record.find('|', first + 1);
    if (second == std::string_view::npos) return 0;
    size_t end = record.find('|', second + 1);
    return std::atol(std::string(record.substr(second + 1, end - second - 1)).c_str());
}

std::unordered_set<long> NoteIdsWaiting(const ProfileReader& notes) {
    std::unordered_set<long> ids;
    for (int folder : {kInNotes, kPhoneCalls}) {
        for (const std::string& record : WaitingItems(notes, FolderSection(folder))) {
            ids.insert(RecordNoteId(record));
        }
    }
    return ids;
}

std::unordered_set<long> NoteIdsInStore(const ProfileReader& notes) {
    std::unordered_set<long> ids = NoteIdsWaiting(notes);
    for (int folder = 0; folder < kFolderCount; ++folder) {
        for (const std::string& record : ItemList::ReadRecords(notes, FolderSection(folder))) {
            ids.insert(RecordNoteId(record));
        }
    }
    return ids;
}

long FreeNoteId(const std::unordered_set<long>& used, long from) {
    // A record from elsewhere may carry the largest id there is; the search
    // goes on from the first second then.
    while (used.count(from)) from = from == std::numeric_limits<long>::max() ? 1 : from + 1;
    return from;
}
