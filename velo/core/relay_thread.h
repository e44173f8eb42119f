// velo's relay thread: after each wake-up (the notify thread took items
// in) it looks for calls and notes that wait to be relayed, holds back
// what the section's filter excludes, and hands the rest to the relay
// program, one process per item.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "relay_dispatch.h"
#include "velo_doc.h"

class CRelayThread {
public:
    CRelayThread(CVeloDoc& doc, RelayDispatcher& dispatcher) : doc_(doc), dispatcher_(dispatcher) {}
    ~CRelayThread() { Stop(); }

    // Starts the thread with one pass, for items that wait from before.
    void Start();
    void Stop();
    // One more pass; a wake-up during a pass makes one further pass.
    void Wake();

    // One pass, on the caller's thread (tests).
    void Pass();

private:
    void Run();
    void RelaySection(int folder, const char* section);

    CVeloDoc& doc_;
    RelayDispatcher& dispatcher_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool woken_ = false;
    std::thread thread_;
};

// The items held back by a filter, kept in Telvora.cfg so that telvora can
// tell them from items received with forwarding off (both are state 0).
bool IsHeldBackByFilter(const std::string& configFile, long noteId);
