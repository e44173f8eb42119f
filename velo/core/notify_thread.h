// velo's notify thread: once a second it takes what the answering station
// handed over into the open document.
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
    ~CNotifyThread() { Stop(); }

    void Start();
    // Ends the thread after its current pass.
    void Stop();

private:
    void Run();

    CVeloDoc& doc_;
    ItemTaken onItem_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};
