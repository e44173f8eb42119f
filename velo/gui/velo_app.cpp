#include "velo_app.h"

#include <QApplication>

#include "gui_wait_hook.h"
#include "qt_message_box.h"

int RunVelo(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallQtMessageBoxHandler();
    InstallGuiWaitStepHook();
    return 0;
}
