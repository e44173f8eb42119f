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

#include "child_process.h"

using namespace std::chrono_literals;

using capitest::ChildProcess;

// One quorlin station in root/name: program folder "bin" with a copy of
// quorlin (and a stand-in velo that writes its arguments to velo-args.txt
// when withVelo), HOME "home" on the capisim port, installation folder
// "install" with the debug log switched on, working folder "work".
class QuorlinStation {
public:
    QuorlinStation(const std::string& root, const std::string& name, int capiPort, bool withVelo);
    // Starts quorlin and waits for its ready line; false when it did not come.
    bool Start(const std::vector<std::string>& args = {},
               const std::map<std::string, std::string>& env = {});
    // Starts quorlin without waiting for anything.
    void Launch(const std::vector<std::string>& args = {},
                const std::map<std::string, std::string>& env = {});
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
