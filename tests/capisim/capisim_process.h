// Runs capisim for a test: starts it with arguments, reads the ports it
// printed, sends it control commands, reads its call log, and gives each
// station a home folder whose .capi20rc points at one of its lines.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace capitest {

using namespace std::chrono_literals;

// A temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct CapisimLine {
    std::string name;
    int port = 0;
    std::vector<std::string> numbers;
};

class CapisimProcess {
public:
    CapisimProcess() = default;
    ~CapisimProcess();
    CapisimProcess(const CapisimProcess&) = delete;
    CapisimProcess& operator=(const CapisimProcess&) = delete;

    // Starts the capisim program with args and waits for "ready". False (with
    // Error()) when it exits or does not become ready in time.
    bool Start(const std::vector<std::string>& args, std::chrono::milliseconds timeout = 10s);
    const std::string& Error() const { return error_; }
    const std::vector<CapisimLine>& Lines() const { return lines_; }
    int Port(const std::string& line) const;

    // One control command line (without the newline).
    bool Command(const std::string& text);
    // Closes standard input and waits for the exit; the exit status, or -1
    // when it had to be killed.
    int Stop(std::chrono::milliseconds timeout = 10s);
    // Ends it at once, as a crash would: nobody is told.
    void Kill();
    bool Running();
    pid_t Pid() const { return pid_; }

    static std::string Program();

private:
    bool ReadReady(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::vector<CapisimLine> lines_;
    std::string error_;
    std::optional<int> status_;
};

// Makes dir/home with a .capi20rc for the remote CAPI driver; returns its path.
std::string MakeCapiHome(const std::string& dir, const std::string& name, int port);

// One line of the call log or of the SMS centres' message log: its fields
// as text (strings unquoted and unescaped, null as "null").
using LogEntry = std::map<std::string, std::string>;
std::vector<LogEntry> ReadCallLog(const std::string& path);
// Waits until the log has at least count lines.
std::vector<LogEntry> WaitForCallLog(const std::string& path, size_t count,
                                     std::chrono::milliseconds timeout = 10s);
std::optional<LogEntry> ParseJsonLine(const std::string& line);

}  // namespace capitest
