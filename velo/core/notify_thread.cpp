#include "notify_thread.h"

#include "relay_thread.h"
#include "relayed_items.h"

void CNotifyThread::Start() {
    if (thread_.joinable()) return;
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
}

void CNotifyThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void CNotifyThread::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, kPeriod, [this] { return stop_; })) {
        lock.unlock();
        Pass();
        lock.lock();
    }
}

void CNotifyThread::Pass() {
    if (doc_.TakeHandedOverItems(onItem_) > 0 && relay_) relay_->Wake();
    std::vector<long> relayed = TakeRelayedItems(doc_.ConfigFile());
    if (!relayed.empty() && doc_.ApplyRelayed(relayed) > 0 && onRelayed_) onRelayed_();
}
