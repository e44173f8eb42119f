// velo's pictures, drawn rather than loaded: the program icon, the
// new-notes notice, the relay switches of the status bar, and the small
// icons of folders and list rows.
#pragma once

#include <QIcon>
#include <QPixmap>

QIcon AppIcon();
// The icon of the new-notes notice in the tray.
QIcon NewNotesIcon();
// A status-bar switch: forwarding of calls or of notes, on or off.
QPixmap RelayPixmap(bool calls, bool on);
QIcon FolderIcon(int folder);
// 16 x 16, by item type.
QIcon ItemIcon(int type);
// The program icon as a picture of the given size (for the desktop entry).
QImage AppIconImage(int size);
