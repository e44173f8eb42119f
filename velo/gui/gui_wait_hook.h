// The GUI thread's wait-step hook: while the link waits on the GUI thread
// (a send runs there), each step handles the window's pending events, so
// the window and the progress dialog stay responsive. Once the application
// is closing the hook reports the quit event and the wait ends.
#pragma once

void InstallGuiWaitStepHook();
// Called when the main window closes: the waits of a running send end.
void SignalGuiQuit();
bool GuiQuitSignalled();

class QDialog;
// Runs the dialog's own event loop until the user closes it or the
// application quits (a quit ends it at once).
void WaitUntilClosed(QDialog& dialog);
