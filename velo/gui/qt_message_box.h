// Message boxes of the GUI: every box that the core or the link library
// asks for becomes a Qt dialog. A box asked for on another thread (the
// notify thread, the link library's dispatch thread) is shown by the GUI
// thread; a question's thread waits for the answer, a notice's goes on.
#pragma once

#include <string>

class QWidget;

// Installs the Qt handler; the application object must exist.
void InstallQtMessageBoxHandler();

// Shows one box now, on the calling (GUI) thread, over parent.
int QtMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                 unsigned type);
