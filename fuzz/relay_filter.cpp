// The filter test of forwarding: a filter profile as the settings keep it,
// and the MSN, number and subject or name of an item that a sender chose.
#include <cstdint>
#include <string>

#include "config_keys.h"
#include "fuzz_support.h"
#include "item_list.h"
#include "note_item.h"
#include "relay_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    auto filter = ItemList::ParseRecord(in.Text().substr(0, 255), cfg::kFilterProfileFields);
    auto item = NoteItem::Parse(in.Rest().substr(0, 255), 0);
    if (!filter || !item) return 0;
    FilterRelays(filter->fields, item->Get(NoteItem::kMsn), item->Get(NoteItem::kNumber),
                 item->Get(NoteItem::kSubject));
    FilterRelays(filter->fields, item->Get(NoteItem::kMsn), item->Get(NoteItem::kNumber),
                 item->Get(NoteItem::kName));
    return 0;
}
