#include "msgbox_recorder.h"

MessageBoxRecorder::MessageBoxRecorder() {
    previous_ = SetMessageBoxHandler(
        [state = state_](const std::string& text, const std::string& caption, unsigned type) {
            return state->Record(text, caption, type);
        });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHandler(std::move(previous_));
}

int MessageBoxRecorder::State::Record(const std::string& text, const std::string& caption,
                                      unsigned type) {
    int answer = DefaultMessageBoxAnswer(type);
    {
        std::lock_guard lock(mutex);
        calls.push_back({text, caption, type});
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
    }
    changed.notify_all();
    return answer;
}

void MessageBoxRecorder::QueueAnswer(int answer) {
    std::lock_guard lock(state_->mutex);
    state_->answers.push_back(answer);
}

std::vector<MessageBoxRecorder::Call> MessageBoxRecorder::Calls() const {
    std::lock_guard lock(state_->mutex);
    return state_->calls;
}

std::size_t MessageBoxRecorder::Count() const {
    std::lock_guard lock(state_->mutex);
    return state_->calls.size();
}

std::vector<std::string> MessageBoxRecorder::Texts() const {
    std::lock_guard lock(state_->mutex);
    std::vector<std::string> texts;
    for (const auto& call : state_->calls) texts.push_back(call.text);
    return texts;
}

bool MessageBoxRecorder::WaitForCalls(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->calls.size() >= count; });
}
