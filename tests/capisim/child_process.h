// A program run as a child of a test: its standard input and output on
// pipes, its standard error in a file, its own environment additions and
// working folder.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace capitest {

class ChildProcess {
public:
    // env adds or replaces variables; an empty value removes one.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const std::string& workDir,
                 const std::string& stderrFile);
    // Closes standard input, gives the child 5 s to end, then kills it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return started_; }
    void WriteLine(const std::string& line);
    // The next line of output not read yet; nullopt when none came in time
    // or the output ended.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // The first line read so far, or read on, that contains text; nullopt
    // when none came in time.
    std::optional<std::string> WaitForLine(const std::string& text,
                                           std::chrono::milliseconds timeout);
    // Every line of output read so far.
    const std::vector<std::string>& Lines() const { return lines_; }
    void Signal(int signal);
    // The exit status (128 + the signal when a signal ended it), or nullopt
    // when the child did not end in time. The rest of its output is read.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

private:
    bool ReadMore(std::chrono::steady_clock::time_point deadline);

    bool started_ = false;
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string pending_;
    std::vector<std::string> lines_;
    size_t next_ = 0;
    std::optional<int> status_;
};

}  // namespace capitest
