// Sending an e-mail note from the store.
#include "app_caption.h"
#include "mobile_networks.h"
#include "msgbox.h"
#include "velo_doc.h"

bool CVeloDoc::SendMail(long noteId, int folder, MailSender& sender, MailProgress& progress) {
    MailToSend mail;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        NoteItem* item = folders_[folder]->Find(noteId);
        if (!item) {
            AccessError();
            return false;
        }
        if (item->Type() != note_kind::kEmail) {
            ShowMessageBox("Falsche Notiz-Typ", kAppCaption, MB_ICONSTOP);
            return false;
        }
        mail.name = item->Get(NoteItem::kName);
        mail.address = item->Get(NoteItem::kAddress);
        mail.cc = item->Get(NoteItem::kInfo);
        mail.subject = item->Get(NoteItem::kSubject);
        std::string path = folders_[folder]->TextPath(*item);
        if (!path.empty()) mail.text = ReadNoteText(path);
    }
    bool moved = false;
    // Moved before the end state waits for the user: a program ended then
    // must not leave a sent mail behind to go twice.
    bool sent = sender.Send(mail, progress, [&] { moved = MoveItem(noteId, folder, kOutNotes); });
    return sent && moved;
}
