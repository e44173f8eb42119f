#include "msgbox.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace {

constexpr unsigned kButtonMask = 0xF;

std::mutex gMutex;
MessageBoxHandler gHandler = ConsoleMessageBox;

}  // namespace

int DefaultMessageBoxAnswer(unsigned type) {
    bool second = (type & MB_DEFBUTTON2) != 0;
    switch (type & kButtonMask) {
        case MB_OKCANCEL:
            return second ? IDCANCEL : IDOK;
        case MB_YESNO:
            return second ? IDNO : IDYES;
        default:
            return IDOK;
    }
}

int ConsoleMessageBox(const std::string& text, const std::string& caption, unsigned type) {
    // One write, so that boxes from several threads do not mix on one line.
    std::string line = caption + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return DefaultMessageBoxAnswer(type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    if (!handler) handler = ConsoleMessageBox;
    std::lock_guard lock(gMutex);
    return std::exchange(gHandler, std::move(handler));
}

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) {
    MessageBoxHandler handler;
    {
        std::lock_guard lock(gMutex);
        handler = gHandler;
    }
    // Called without the lock: a dialog may run for minutes, and its own
    // code may show another box or install a handler.
    return handler(text, caption, type);
}
