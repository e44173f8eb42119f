// A record of the notes data file, as another process may have written it:
// whatever it holds reads as an item or as none, and the item's record
// reads back as the same item.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz_support.h"
#include "note_item.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view record(reinterpret_cast<const char*>(data), size);
    auto item = NoteItem::Parse(record, 0);
    if (!item) return 0;
    item->Type();
    item->NoteId();
    item->IsRead();
    NoteItem::TypeName(item->Type());
    NoteItem::FormatDateTime(item->Number(NoteItem::kDateTime));
    item->FormatHandoff();
    std::string formatted = item->Format();
    auto again = NoteItem::Parse(formatted, 0);
    if (!again || again->Format() != formatted) std::abort();
    return 0;
}
