// The commands of the main window that open the composer or send.
#include "main_frame.h"

void CMainFrame::NewNote() {}
void CMainFrame::EditItem() {}
void CMainFrame::SendItem() {}
void CMainFrame::ReplyToItem() {}
