// A forwarding template filled from an item whose fields a sender chose.
// Both come from records of at most 255 characters, as the settings and
// the notes data file give them back; the note's text file is any size.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "note_item.h"
#include "relay_template.h"

namespace {

const fuzz::ScratchDir scratch;
constexpr std::size_t kRecordChars = 255;

std::string Record(std::string_view text) {
    return std::string(text.substr(0, kRecordChars));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    std::string templ = Record(in.Text());
    auto item = NoteItem::Parse(Record(in.Text()), 0);
    if (!item) return 0;
    std::string textFile = scratch.Put("note.txt", in.Rest());
    ExpandRelayTemplate(templ, *item, textFile);
    return 0;
}
