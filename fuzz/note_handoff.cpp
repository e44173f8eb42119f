// The notes data file as other processes leave it: the handoff slots of its
// folders are read, taken and filled again, and an item handed over is
// always found waiting afterwards.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "note_handoff.h"
#include "note_item.h"
#include "profile.h"

namespace {

const fuzz::ScratchDir scratch;

bool Waits(const std::string& file, const std::string& section, const std::string& record) {
    auto doc = ReadProfile(file);
    if (!doc) return false;
    for (const std::string& waiting : WaitingItems(ProfileReader(*doc), section)) {
        if (waiting == record) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string file =
        scratch.Put("Notes.dat", std::string_view(reinterpret_cast<const char*>(data), size));
    for (const char* section : {"InNotes", "PhoneCalls"}) {
        if (auto record = PendingItem(file, section)) {
            NoteItem::Parse(*record);
            ConfirmTaken(file, section, *record);
        }
        if (auto doc = ReadProfile(file)) SetAsideKeys(ProfileReader(*doc), section);
    }
    std::string record = NoteItem(1000000000).FormatHandoff();
    if (HandOverItem(file, "PhoneCalls", record) && !Waits(file, "PhoneCalls", record)) {
        std::abort();
    }
    return 0;
}
