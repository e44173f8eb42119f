// What forwarding reads of the store and writes into it.
#include "velo_doc.h"

std::vector<CVeloDoc::WaitingItem> CVeloDoc::ItemsWaitingRelay(int folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<WaitingItem> waiting;
    for (const NoteItem& item : folders_[folder]->Items()) {
        if (item.Number(NoteItem::kState) == kStateWaitingRelay)
            waiting.push_back({item, folders_[folder]->TextPath(item)});
    }
    return waiting;
}

int CVeloDoc::ApplyRelayed(const std::vector<long>& ids) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    int moved = 0;
    for (long id : ids) {
        for (int folder : {kInNotes, kPhoneCalls}) {
            NoteItem* item = folders_[folder]->Find(id);
            if (!item) continue;
            std::string before = item->Get(NoteItem::kState);
            item->SetNumber(NoteItem::kState, kStateRelayed);
            // The state goes with the record in the move's one write.
            if (MoveItem(id, folder, kRelayedNotes)) {
                ++moved;
            } else if (NoteItem* still = folders_[folder]->Find(id)) {
                // It stays where it is, but as relayed: its id is taken.
                still->Set(NoteItem::kState, before);
                SetState(id, folder, kStateRelayed);
            }
            break;
        }
    }
    return moved;
}
