// The library's dispatch thread: it sleeps until the CAPI driver has a
// message for the application (or a time-out of the connection object is
// due, or the exit asks it to end), then takes every message waiting.
#pragma once

#include <chrono>

class CAPIAccess;
class LinkConnection;

// Starts ISDNDispatchThread for the connection object; false when no thread
// could be made.
bool StartDispatchThread(LinkConnection* corvane, CAPIAccess* access);

// Asks the thread to end and waits at most timeout; true when it ended
// (or never ran). A thread that did not end is left to itself.
bool StopDispatchThread(std::chrono::milliseconds timeout);

bool DispatchThreadStarted();
