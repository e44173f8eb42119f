// The commands of the main window that open the composer or send.
#include <QPointer>

#include "app_caption.h"
#include "folder_view.h"
#include "main_frame.h"
#include "msgbox.h"
#include "note_folders.h"
#include "note_list_view.h"
#include "send_dialog.h"
#include "settings_file.h"
#include "velo_doc.h"

void CMainFrame::SendItem() {
    int folder = -1;
    auto item = SelectedItem(&folder);
    if (!item || sending_) return;
    if (!services_.makeLink) {
        ShowMessageBox("Die ISDN-Verbindung steht in diesem Programm nicht zur Verfügung.",
                       kAppCaption, MB_ICONSTOP);
        return;
    }
    SettingsFile settings(services_.configFile);
    NoteSender sender(settings, services_.makeLink, services_.programId);
    long id = item->NoteId();
    Log("Senden: " + std::to_string(id) + " an " + item->Get(NoteItem::kNumber));
    sending_ = true;
    QPointer<CSendDlg> dialog = new CSendDlg(settings, this);
    if (services_.onSendDialog) services_.onSendDialog(*dialog);
    bool sent =
        dialog->Start([&](SendProgress& p) { return doc_.SendNote(id, folder, sender, p); });
    Log(sent ? "Senden: gesendet" : "Senden: nicht gesendet");
    // The note has moved by now; the lists show it while the dialog waits.
    folders_->UpdateLabel(kOutNotes);
    AfterChange(folder);
    if (dialog && !closeAfterSend_) dialog->WaitForClose();
    delete dialog;
    sending_ = false;
    if (closeAfterSend_) close();
}

void CMainFrame::NewNote() {}
void CMainFrame::EditItem() {}
void CMainFrame::ReplyToItem() {}
