#include "gui_wait_hook.h"

#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QTimer>
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

void WaitUntilClosed(QDialog& dialog) {
    auto quitting = [] { return GuiQuitSignalled() || QCoreApplication::closingDown(); };
    if (!dialog.isVisible() || quitting()) return;
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    QObject::connect(&dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    // The quit flag comes without an event: look at it every wait step.
    QTimer quitCheck;
    QObject::connect(&quitCheck, &QTimer::timeout, &loop, [&loop, quitting] {
        if (quitting()) loop.quit();
    });
    quitCheck.start(kWaitStep);
    loop.exec();
}
