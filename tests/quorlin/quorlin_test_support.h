// Processes and folders for the quorlin tests: quorlin run from a program
// folder of its own (so that it looks for velo there), with its own HOME,
// installation folder and working folder, and the calling station beside it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

// A child with standard output on a pipe, standard error in a file and its
// own environment additions and working folder.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const std::string& workDir,
                 const std::string& stderrFile);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // Lines of standard output until one contains text; that line, or nullopt
    // when the output ended or the time ran out. Every line read is kept.
    std::optional<std::string> WaitForLine(const std::string& text,
                                           std::chrono::milliseconds timeout);
    const std::vector<std::string>& Lines() const { return lines_; }
    void Signal(int signal);
    // The exit status (128 + signal when a signal ended it), or nullopt when
    // the child did not end in time.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

private:
    bool ReadMore(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
    std::vector<std::string> lines_;
    std::optional<int> status_;
};

// One quorlin station in root/name: program folder "bin" with a copy of
// quorlin (and a stand-in velo that writes its arguments to velo-args.txt
// when withVelo), HOME "home" on the capisim port, installation folder
// "install" with the debug log switched on, working folder "work".
class QuorlinStation {
public:
    QuorlinStation(const std::string& root, const std::string& name, int capiPort, bool withVelo);
    // Starts quorlin and waits for its ready line; false when it did not come.
    bool Start(const std::vector<std::string>& args = {});
    ChildProcess& Process() { return *process_; }

    std::string InstallDir() const { return dir_ + "/install"; }
    std::string NotesFile() const { return InstallDir() + "/Notes.dat"; }
    std::string VeloArgsFile() const { return dir_ + "/bin/velo-args.txt"; }
    std::string Errors() const;
    std::string Log() const;

private:
    std::string dir_;
    std::unique_ptr<ChildProcess> process_;
};

// The calling station's environment in root/name, with HOME on the port.
std::map<std::string, std::string> CallerEnvironment(const std::string& root,
                                                     const std::string& name, int capiPort);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
// Polls condition until it holds or the time runs out; its last answer.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
