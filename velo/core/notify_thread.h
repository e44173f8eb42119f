// velo's notify thread: once a second it takes what the answering station
// handed over into the open document, wakes the relay thread when it took
// something, and applies what relay programs report as relayed.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "velo_doc.h"

class CNotifyThread {
public:
    using ItemTaken = std::function<void(const NoteItem&, int folder)>;
    static constexpr std::chrono::milliseconds kPeriod{1000};

    explicit CNotifyThread(CVeloDoc& doc, ItemTaken onItem = {})
        : doc_(doc), onItem_(std::move(onItem)) {}

    // Before Start: the relay thread to wake, and what to call when relayed
    // items moved to "RelayedNotes" (the views refresh).
    void SetRelay(class CRelayThread* relay, std::function<void()> onRelayed = {}) {
        relay_ = relay;
        onRelayed_ = std::move(onRelayed);
    }
    // One pass, on the caller's thread (tests, telvora take).
    void Pass();
    ~CNotifyThread() { Stop(); }

    void Start();
    // Ends the thread after its current pass.
    void Stop();

private:
    void Run();

    CVeloDoc& doc_;
    ItemTaken onItem_;
    class CRelayThread* relay_ = nullptr;
    std::function<void()> onRelayed_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};
