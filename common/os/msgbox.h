// The message-box service. Library code asks for a message box here; the
// program decides how it is shown: the GUI installs a dialog, console
// programs print to standard error and take the default answer, tests
// record each call and script the answer. One handler per process.
#pragma once

#include <functional>
#include <string>

// Buttons and icons, as the Windows flags they stand for.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNO = 0x4,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
};
// Answers.
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

using MessageBoxHandler =
    std::function<int(const std::string& text, const std::string& caption, unsigned type)>;

// Shows text with caption through the current handler and returns the answer.
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type = MB_OK);

// Installs a handler and returns the previous one; an empty handler restores
// the console handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The answer a box of this type gives when nobody is asked: OK, or the
// second button when MB_DEFBUTTON2 is set, else the first.
int DefaultMessageBoxAnswer(unsigned type);

// Writes "caption: text" to standard error and returns the default answer.
int ConsoleMessageBox(const std::string& text, const std::string& caption, unsigned type);
