// The commands of the main window that open the composer or send.
#include <QPointer>

#include "app_caption.h"
#include "composer.h"
#include "composer_dialog.h"
#include "folder_view.h"
#include "gui_wait_hook.h"
#include "mail_dialog.h"
#include "main_frame.h"
#include "mobile_networks.h"
#include "msgbox.h"
#include "note_folders.h"
#include "note_list_view.h"
#include "send_dialog.h"
#include "sms_dialog.h"
#include "settings_file.h"
#include "velo_doc.h"

void CMainFrame::SendItem() {
    int folder = -1;
    auto item = SelectedItem(&folder);
    if (!item || sending_) return;
    if (item->Type() == note_kind::kEmail) {
        SendMailItem(folder, item->NoteId());
        return;
    }
    if (IsSmsKind(item->Type())) {
        long id = item->NoteId();
        Log("SMS senden: " + std::to_string(id) + " an " + item->Get(NoteItem::kNumber));
        RunSmsDialog(folder, [this, id, folder](SmsSender& sender, SmsProgress& p) {
            return doc_.SendSms(id, folder, sender, p);
        });
        return;
    }
    if (!services_.makeLink) {
        ShowMessageBox("Die ISDN-Verbindung steht in diesem Programm nicht zur Verfügung.",
                       kAppCaption, MB_ICONSTOP);
        return;
    }
    SettingsFile settings(services_.configFile);
    NoteSender sender(settings, services_.makeLink, services_.programId);
    long id = item->NoteId();
    Log("Senden: " + std::to_string(id) + " an " + item->Get(NoteItem::kNumber));
    QPointer<CSendDlg> dialog = new CSendDlg(settings, this);
    if (services_.onSendDialog) services_.onSendDialog(*dialog);
    RunProgressDialog(dialog, folder, "Senden", [&] {
        return dialog->Start([&](SendProgress& p) { return doc_.SendNote(id, folder, sender, p); });
    });
}

// Runs a send with its progress dialog over the window, then lets the user
// read the dialog until it is closed; the lists show the moved items
// meanwhile. The dialog may go away with the window during the send.
void CMainFrame::RunProgressDialog(QDialog* dialog, int folder, const std::string& what,
                                   const std::function<bool()>& start) {
    sending_ = true;
    QPointer<QDialog> shown(dialog);
    bool sent = start();
    Log(what + (sent ? ": gesendet" : ": nicht gesendet"));
    folders_->UpdateLabel(kOutNotes);
    folders_->UpdateLabel(folder);
    AfterChange(folder);
    if (shown && !closeAfterSend_) WaitUntilClosed(*shown);
    delete shown;
    sending_ = false;
    if (closeAfterSend_) close();
}

void CMainFrame::SendAllSms(int network) {
    int folder = list_->Folder();
    if (folder < 0 || sending_) return;
    Log("SMS senden: alle vom Typ " + std::to_string(network) + " aus " + FolderSection(folder));
    RunSmsDialog(folder, [this, network, folder](SmsSender& sender, SmsProgress& p) {
        return doc_.SendAllSms(folder, network, sender, p);
    });
}

// The modeless SMS dialog over the window while the send runs on this
// thread; the lists show the moved notes while it waits to be closed.
void CMainFrame::RunSmsDialog(int folder,
                              const std::function<bool(SmsSender&, SmsProgress&)>& send) {
    if (!services_.makeSmsLink) {
        ShowMessageBox("Die ISDN-Verbindung steht in diesem Programm nicht zur Verfügung.",
                       kAppCaption, MB_ICONSTOP);
        return;
    }
    SettingsFile settings(services_.configFile);
    SmsSender sender(settings, services_.makeSmsLink);
    sender.SetLog(services_.log);
    QPointer<CSendSMSDlg> dialog = new CSendSMSDlg(this);
    if (services_.onSmsDialog) services_.onSmsDialog(*dialog);
    RunProgressDialog(dialog, folder, "SMS senden", [&] {
        return dialog->Start([&](SmsProgress& p) { return send(sender, p); });
    });
}

void CMainFrame::SendMailItem(int folder, long id) {
    SettingsFile settings(services_.configFile);
    MailSender sender(settings, services_.log);
    if (services_.mailReplyTimeoutMs > 0) sender.SetReplyTimeout(services_.mailReplyTimeoutMs);
    Log("Email senden: " + std::to_string(id));
    QPointer<CMailDlg> dialog = new CMailDlg(this);
    if (services_.onMailDialog) services_.onMailDialog(*dialog);
    RunProgressDialog(dialog, folder, "Email senden", [&] {
        return dialog->Start([&](MailProgress& p) { return doc_.SendMail(id, folder, sender, p); });
    });
}

// After the composer stored a message: it shows in its folder, selected,
// and goes out at once when the user asked for that.
void CMainFrame::AfterComposed(const ComposerResult& result) {
    folders_->UpdateLabel(result.folder);
    if (folders_->SelectedFolder() != result.folder) {
        folders_->SelectFolder(result.folder);
    } else {
        AfterChange(result.folder);
    }
    list_->SelectId(result.noteId);
    if (!result.sendNow) return;
    if (SelectedItem()) SendItem();
}

void CMainFrame::NewNote() {
    if (auto result = CComposerDlg::NewNote(doc_, services_.configFile, this))
        AfterComposed(*result);
}

void CMainFrame::EditItem() {
    int folder = -1;
    auto item = SelectedItem(&folder);
    if (!item || !Action("edit")->isEnabled()) return;
    auto result = CComposerDlg::Edit(doc_, services_.configFile, folder, item->NoteId(), this);
    if (result) {
        AfterComposed(*result);
    } else {
        // The list shows the item as it is, edited or not.
        AfterChange(folder);
    }
}

void CMainFrame::ReplyToItem() {
    int folder = -1;
    auto item = SelectedItem(&folder);
    if (!item) return;
    auto prepared = PrepareReply(doc_, folder, item->NoteId());
    if (!prepared) return;
    Log("Antwort vorbereitet: " + std::to_string(prepared->NoteId()));
    // The reply stands in "SendNotes" now; the user writes it there.
    AfterComposed(ComposerResult{kSendNotes, prepared->NoteId(), false});
    EditItem();
}
