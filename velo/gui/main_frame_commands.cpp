// The commands of the main window on the selected note or folder.
#include <cstdio>
#include <mutex>

#include "address_book_window.h"
#include "app_caption.h"
#include "folder_view.h"
#include "main_frame.h"
#include "msgbox.h"
#include "note_folders.h"
#include "note_list_view.h"
#include "velo_doc.h"

void CMainFrame::DeleteItem() {
    int folder = -1;
    auto item = SelectedItem(&folder);
    if (!item) return;
    list_->setUpdatesEnabled(false);
    bool done = doc_.DeleteItem(item->NoteId(), folder);
    list_->setUpdatesEnabled(true);
    if (done) {
        folders_->UpdateLabel(kDeletedNotes);
        AfterChange(folder);
    }
}

void CMainFrame::DeleteAll() {
    int folder = list_->Folder();
    if (folder < 0) return;
    std::string name;
    std::vector<long> ids;
    {
        std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
        CNoteFolder& f = doc_.Folder(folder);
        name = f.Name().empty() ? f.Section() : f.Name();
        for (const NoteItem& n : f.Items()) ids.push_back(n.NoteId());
    }
    if (ids.empty()) return;
    char question[512];
    std::snprintf(question, sizeof question, "Sollen alle Objekte im Ordner '%s' gelöscht werden?",
                  name.c_str());
    if (ShowMessageBox(question, kAppCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    list_->setUpdatesEnabled(false);
    for (long id : ids) {
        // One that fails has said why; the others still go.
        doc_.DeleteItem(id, folder);
    }
    list_->setUpdatesEnabled(true);
    folders_->UpdateLabel(kDeletedNotes);
    AfterChange(folder);
}

void CMainFrame::OpenAddressBook() {
    std::string path =
        services_.addressBook.empty() ? AddressBook::DefaultPath() : services_.addressBook;
    CAddressBookWnd wnd(path, CAddressBookWnd::Mode::Edit, this);
    wnd.exec();
}
