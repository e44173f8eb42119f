#include "bchannel.h"

#include <algorithm>

namespace capisim {

Clock::duration BChannelPipe::WireTime(size_t bytes) const {
    auto ns = std::chrono::nanoseconds(uint64_t(bytes) * 8 * 1000000000ull / bitsPerSecond_);
    return std::chrono::duration_cast<Clock::duration>(ns);
}

void BChannelPipe::StartNext(TimePoint start, BlockSink& sink) {
    if (onWire_ || waiting_.empty() || !sink.ReceiverHasRoom(held_.size())) return;
    onWire_ = std::move(waiting_.front());
    waiting_.pop_front();
    // A block cannot leave before it was handed over.
    onWire_->due = std::max(start, onWire_->due) + WireTime(onWire_->data.size());
}

void BChannelPipe::Pump(TimePoint now, BlockSink& sink) {
    bool progress = true;
    while (progress) {
        progress = false;
        if (onWire_ && onWire_->due <= now) {
            TimePoint sent = onWire_->due;
            sink.Confirm(*onWire_);
            onWire_->due = sent + delay_;
            inFlight_.push_back(std::move(*onWire_));
            onWire_.reset();
            // Back to back: the next block starts when this one ended, not
            // when we got round to noticing, so the rate does not drift.
            StartNext(sent, sink);
            progress = true;
        }
        while (!inFlight_.empty() && inFlight_.front().due <= now) {
            held_.push_back(std::move(inFlight_.front()));
            inFlight_.pop_front();
            progress = true;
        }
        while (!held_.empty() && sink.ReceiverHasRoom(0)) {
            delivered_ += held_.front().data.size();
            sink.Deliver(std::move(held_.front()));
            held_.pop_front();
            progress = true;
        }
        if (!onWire_ && !waiting_.empty()) {
            StartNext(now, sink);
            progress = progress || onWire_.has_value();
        }
    }
}

std::optional<TimePoint> BChannelPipe::NextEvent() const {
    std::optional<TimePoint> next;
    if (onWire_) next = onWire_->due;
    if (!inFlight_.empty() && (!next || inFlight_.front().due < *next)) {
        next = inFlight_.front().due;
    }
    return next;
}

void BChannelPipe::DropUnsent() {
    waiting_.clear();
    onWire_.reset();
}

}  // namespace capisim
