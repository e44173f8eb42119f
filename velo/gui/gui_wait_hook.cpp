#include "gui_wait_hook.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <atomic>

#include "waitstep.h"

namespace {
std::atomic<bool> gQuit{false};
}

void SignalGuiQuit() {
    gQuit = true;
}

bool GuiQuitSignalled() {
    return gQuit;
}

void InstallGuiWaitStepHook() {
    gQuit = false;
    SetWaitStepHook([] {
        if (gQuit || QCoreApplication::closingDown()) return PendingEvent::Quit;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return gQuit ? PendingEvent::Quit : PendingEvent::Handled;
    });
}
