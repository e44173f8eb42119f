// The notes data file as velo's document opens it: the items of every
// folder are loaded, the items handed over are taken into their folders
// and the folders are saved. No item handed over is lost in a take, and
// every item saved loads again.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "note_folders.h"
#include "note_handoff.h"
#include "profile.h"
#include "profile_document.h"
#include "velo_doc.h"

namespace {

const fuzz::ScratchDir scratch;
constexpr int kHandoffFolders[] = {kPhoneCalls, kInNotes};

// The records handed over that are not empty.
std::vector<std::string> Waiting(const std::string& notes) {
    std::vector<std::string> records;
    auto doc = ReadProfile(notes);
    if (!doc) return records;
    for (int folder : kHandoffFolders) {
        for (std::string& r : WaitingItems(ProfileReader(*doc), FolderSection(folder))) {
            if (!r.empty()) records.push_back(std::move(r));
        }
    }
    return records;
}

// An item without its id, which a take may change to keep ids apart, and
// without its time: a record without them reads them as the second it is
// read, which need not be the second the take read it.
std::string WithoutId(NoteItem item) {
    item.Set(NoteItem::kNoteId, "");
    item.Set(NoteItem::kDateTime, "");
    return item.FormatHandoff();
}

// An item's fields but its id: a record that a repeated key hid may come
// forward with the same id, and then the saved item takes a fresh one.
std::string FieldsButId(const NoteItem& item) {
    std::string fields;
    for (int f = 0; f < NoteItem::kFieldCount; ++f) {
        if (f == NoteItem::kNoteId) continue;
        const std::string& text = item.Get(static_cast<NoteItem::Field>(f));
        fields += std::to_string(text.size()) + ':' + text;
    }
    return fields;
}

// What the store keeps of an item: its record as a profile value holds it,
// fitted into 255 characters and without blanks at its end.
std::string Stored(const NoteItem& item) {
    auto record = NoteItem::Parse(TrimProfileBlanks(item.Format()));
    if (!record) std::abort();
    return FieldsButId(*record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::SilenceMessageBoxes();
    // Every input meets a store of its own: nothing of an earlier one (a
    // folder's text files, the settings velo wrote) may change its course.
    std::string store = scratch.File("store");
    std::filesystem::remove_all(store);
    scratch.Remove("Telvora.cfg");
    mkdir(store.c_str(), 0777);
    std::string notes =
        scratch.Put("store/Notes.dat", std::string_view(reinterpret_cast<const char*>(data), size));
    std::string config = scratch.File("Telvora.cfg");
    std::vector<std::string> before = Waiting(notes);

    std::multiset<std::string> saved[kFolderCount];
    {
        CVeloDoc doc(store, config);
        if (!doc.Open()) return 0;
        std::set<std::string> filed, aside;
        doc.TakeHandedOverItems(
            [&](const NoteItem& item, int) { filed.insert(WithoutId(item)); },
            [&](const std::string&, const std::string&, const std::string& r) { aside.insert(r); });
        std::vector<std::string> after = Waiting(notes);
        std::set<std::string> still(after.begin(), after.end());
        // Each record that waited is now in a folder, set aside or still
        // waiting; a record under a key of the same name further down
        // comes forward once the first is taken.
        for (const std::string& r : before) {
            auto item = NoteItem::Parse(r);
            if (still.count(r) || aside.count(r) || (item && filed.count(WithoutId(*item))))
                continue;
            std::abort();
        }
        for (int f = 0; f < kFolderCount; ++f) {
            for (const NoteItem& item : doc.Folder(f).Items()) saved[f].insert(Stored(item));
        }
        if (!doc.Close()) return 0;
    }
    CVeloDoc again(store, config);
    if (!again.Open()) std::abort();
    // Every item saved loads again; a record that a repeated key hid may
    // come forward beside them.
    for (int f = 0; f < kFolderCount; ++f) {
        std::multiset<std::string> loaded;
        for (const NoteItem& item : again.Folder(f).Items()) loaded.insert(FieldsButId(item));
        if (!std::includes(loaded.begin(), loaded.end(), saved[f].begin(), saved[f].end()))
            std::abort();
    }
    return 0;
}
