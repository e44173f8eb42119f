// velo's start-up and end: single instance, debug log, link library,
// document, update merge, the main window and, five seconds after it shows,
// the notify thread.
#pragma once

// Runs velo with its command line; returns the exit status.
int RunVelo(int argc, char** argv);
