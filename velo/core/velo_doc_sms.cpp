// Sending SMS notes from the store: which notes go, their states while
// they go, and where they are afterwards.
#include <vector>

#include "app_caption.h"
#include "format.h"
#include "mobile_networks.h"
#include "msgbox.h"
#include "paths.h"
#include "velo_doc.h"

namespace {

std::string FailedSmsText(const std::string& reason) {
    return FormatText("SMS-Nachricht konnte nicht gesendet werden! Grund: [%s]", reason.c_str());
}

}  // namespace

std::optional<SmsToSend> CVeloDoc::SmsOf(long noteId, int folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    NoteItem* item = folders_[folder]->Find(noteId);
    if (!item) return std::nullopt;
    SmsToSend sms;
    sms.number = item->Get(NoteItem::kNumber);
    sms.textPath = JoinPath(folders_[folder]->Dir(), item->Get(NoteItem::kTextFile));
    std::string path = folders_[folder]->TextPath(*item);
    if (!path.empty()) sms.text = ReadNoteText(path, SmsSender::kMaxFileChars);
    return sms;
}

bool CVeloDoc::SetState(long noteId, int folder, int state, bool quiet) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    NoteItem* item = folders_[folder]->Find(noteId);
    if (!item) {
        if (!quiet) AccessError();
        return false;
    }
    std::string before = item->Get(NoteItem::kState);
    item->SetNumber(NoteItem::kState, state);
    if (Commit({})) return true;
    item->Set(NoteItem::kState, before);
    return false;
}

bool CVeloDoc::MoveSentSms(long noteId, int folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    NoteItem* item = folders_[folder]->Find(noteId);
    if (!item) return false;
    // Sent and moved in one write: a note the centre took is never left
    // behind to go a second time.
    item->SetNumber(NoteItem::kState, kStateSent);
    if (MoveItem(noteId, folder, kOutNotes)) return true;
    // It stays here, but as sent.
    SetState(noteId, folder, kStateSent);
    return false;
}

bool CVeloDoc::SendSms(long noteId, int folder, SmsSender& sender, SmsProgress& progress) {
    int type = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        NoteItem* item = folders_[folder]->Find(noteId);
        if (!item) {
            AccessError();
            return false;
        }
        type = item->Type();
    }
    if (!IsSmsKind(type)) return false;
    std::optional<SmsToSend> sms = SmsOf(noteId, folder);
    if (!sms || !sender.Connect(type, progress)) return false;
    bool accepted = sender.Send(*sms, progress);
    sender.Disconnect(progress);
    // Moved before the result waits for the user to close it.
    if (accepted) MoveSentSms(noteId, folder);
    sender.ShowResult(accepted, accepted ? sender.Reason() : FailedSmsText(sender.Reason()),
                      progress);
    return accepted;
}

bool CVeloDoc::SendAllSms(int folder, int network, SmsSender& sender, SmsProgress& progress,
                          int* failedCount) {
    std::vector<long> ids;
    bool anySms = false;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        for (const NoteItem& item : folders_[folder]->Items()) {
            anySms |= IsSmsKind(item.Type());
            if (item.Type() == network) ids.push_back(item.NoteId());
        }
    }
    if (!anySms) {
        ShowMessageBox("Es sind keine SMS-Nachrichten zu senden!", kAppCaption, MB_ICONINFORMATION);
        return false;
    }
    if (!sender.Connect(network, progress)) return false;
    int sent = 0, failed = 0;
    for (long id : ids) {
        std::optional<SmsToSend> sms = SmsOf(id, folder);
        if (!sms) continue;  // gone from the folder meanwhile
        SetState(id, folder, kStateCreated);
        if (sender.Send(*sms, progress)) {
            ++sent;
            MoveSentSms(id, folder);
            progress.Status(sender.Reason());
        } else {
            ++failed;
            progress.Status(FailedSmsText(sender.Reason()));
        }
    }
    sender.Disconnect(progress);
    if (failedCount) *failedCount = failed;
    sender.ShowResult(sent > 0, MultipleSmsResult(sent, failed), progress);
    // Notes of the network that were sent before and are still here go too.
    std::vector<long> leftOver;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        for (const NoteItem& item : folders_[folder]->Items()) {
            if (item.Type() == network && item.Number(NoteItem::kState) == kStateSent)
                leftOver.push_back(item.NoteId());
        }
    }
    for (long id : leftOver) MoveItem(id, folder, kOutNotes);
    return true;
}
