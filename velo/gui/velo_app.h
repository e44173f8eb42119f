// velo's start-up and end: single instance, debug log, link library,
// document, update merge, the main window and, five seconds after it
// shows, the notify thread.
#pragma once

#include <chrono>

// Runs velo with its command line; returns the exit status (0, or 1 when
// it could not start).
int RunVelo(int argc, char** argv);

// How long after the window shows the notify thread starts.
inline constexpr std::chrono::milliseconds kNotifyStartDelay{5000};
