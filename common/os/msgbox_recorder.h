// A message-box handler for tests: records every box that the code under
// test shows and answers from a scripted queue. It installs itself for its
// lifetime and puts the previous handler back when it goes. Boxes may come
// from any thread; a box that a late thread shows after the recorder is gone
// is still answered, and then forgotten.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "msgbox.h"

class MessageBoxRecorder {
public:
    struct Call {
        std::string text;
        std::string caption;
        unsigned type;
    };

    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // The next box gets this answer; boxes beyond the queue get the default
    // answer of their type.
    void QueueAnswer(int answer);

    std::vector<Call> Calls() const;
    std::size_t Count() const;
    // The texts only, in order: what most tests compare.
    std::vector<std::string> Texts() const;

    // Waits until at least count boxes were shown; false when the time ran out.
    bool WaitForCalls(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    // Shared with the installed handler, which may still run on another
    // thread while the recorder goes away.
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<Call> calls;
        std::deque<int> answers;

        int Record(const std::string& text, const std::string& caption, unsigned type);
    };

    std::shared_ptr<State> state_ = std::make_shared<State>();
    MessageBoxHandler previous_;
};
