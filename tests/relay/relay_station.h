// A station that forwards: the installation folder with its Telvora.cfg
// and relay log, parameter and message files as velo writes them, and
// relay run as a program of its own.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "capisim_process.h"
#include "child_process.h"

struct RelayRunResult {
    int status = -1;
    std::vector<std::string> lines;  // standard output
    std::string errors;              // standard error
};

class RelayStation {
public:
    // A station in root/name: HOME (with a .capi20rc when capiPort is not
    // 0), the installation folder "install", the working folder "work".
    RelayStation(const std::string& root, const std::string& name, int capiPort = 0);

    std::string ConfigFile() const { return install_ + "/Telvora.cfg"; }
    std::string LogFile() const { return install_ + "/Relay.log"; }
    std::string WorkDir() const { return dir_ + "/work"; }
    std::map<std::string, std::string>& Environment() { return env_; }

    // A message file and a parameter file for item id, as velo writes them
    // (configFileName, noteId, the relay log, Message), with keys added.
    // Returns the parameter file.
    std::string Prepare(long id, const std::string& message, const std::string& keys);
    std::string MessageFile(long id) const;

    // Starts relay on a parameter file without waiting for it.
    std::unique_ptr<capitest::ChildProcess> Start(const std::string& parameterFile);
    // Runs relay on a parameter file to its end.
    RelayRunResult Run(const std::string& parameterFile);

    // A key of the configuration file, "(none)" when it is missing.
    std::string Setting(const char* section, const std::string& key) const;
    // The relay log's lines without their time.
    std::vector<std::string> LogLines() const;

private:
    std::string dir_, install_;
    std::map<std::string, std::string> env_;
    int runs_ = 0;
};

// The text of a file, "" when it cannot be read.
std::string FileText(const std::string& path);
