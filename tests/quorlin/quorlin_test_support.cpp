#include "quorlin_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "capisim_process.h"

using Clock = std::chrono::steady_clock;

QuorlinStation::QuorlinStation(const std::string& root, const std::string& name, int capiPort,
                               bool withVelo)
    : dir_(root + "/" + name) {
    namespace fs = std::filesystem;
    for (const char* sub : {"bin", "install", "work"}) fs::create_directories(dir_ + "/" + sub);
    capitest::MakeCapiHome(dir_, "home", capiPort);
    // A copy, not a link: quorlin finds its program folder through its own path.
    fs::copy_file(QUORLIN_PATH, dir_ + "/bin/quorlin");
    if (withVelo) {
        std::string velo = dir_ + "/bin/velo";
        WriteFile(velo,
                  "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$(dirname \"$0\")/velo-args.txt\"\n");
        chmod(velo.c_str(), 0755);
    }
    WriteFile(InstallDir() + "/Telvora.cfg", "[Parameters]\ndebug=1\n");
}

bool QuorlinStation::Start(const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env) {
    Launch(args, env);
    return process_->Started() && process_->WaitForLine("Bereit", 20s).has_value();
}

void QuorlinStation::Launch(const std::vector<std::string>& args,
                            const std::map<std::string, std::string>& env) {
    std::string home = dir_ + "/home";
    std::map<std::string, std::string> all{
        {"HOME", home}, {"TELVORA_HOME", InstallDir()}, {"XDG_CONFIG_HOME", home + "/.config"}};
    for (const auto& [k, v] : env) all[k] = v;
    process_ = std::make_unique<ChildProcess>(dir_ + "/bin/quorlin", args, all, dir_ + "/work",
                                              dir_ + "/stderr.txt");
}

std::string QuorlinStation::Errors() const {
    return ReadFile(dir_ + "/stderr.txt");
}

std::string QuorlinStation::Log() const {
    return ReadFile(dir_ + "/work/Quorlin.log");
}

std::map<std::string, std::string> CallerEnvironment(const std::string& root,
                                                     const std::string& name, int capiPort) {
    std::string dir = root + "/" + name;
    std::filesystem::create_directories(dir + "/install");
    std::string home = capitest::MakeCapiHome(dir, "home", capiPort);
    return {
        {"HOME", home}, {"TELVORA_HOME", dir + "/install"}, {"XDG_CONFIG_HOME", home + "/.config"}};
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(20ms);
    }
    return true;
}
