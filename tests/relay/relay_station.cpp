#include "relay_station.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "profile.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

RelayStation::RelayStation(const std::string& root, const std::string& name, int capiPort)
    : dir_(root + "/" + name), install_(dir_ + "/install") {
    fs::create_directories(install_);
    fs::create_directories(WorkDir());
    std::string home = dir_ + "/home";
    if (capiPort) {
        home = capitest::MakeCapiHome(dir_, "home", capiPort);
    } else {
        fs::create_directories(home);
    }
    env_ = {{"HOME", home}, {"TELVORA_HOME", install_}, {"XDG_CONFIG_HOME", home + "/.config"}};
    std::ofstream(ConfigFile()) << "[Parameters]\ndebug=0\n[Sender]\nmsn=02211111\n";
}

std::string RelayStation::MessageFile(long id) const {
    return dir_ + "/tmp/message" + std::to_string(id) + ".txt";
}

std::string RelayStation::Prepare(long id, const std::string& message, const std::string& keys) {
    fs::create_directories(dir_ + "/tmp");
    std::ofstream(MessageFile(id), std::ios::binary) << message;
    std::string file = dir_ + "/tmp/relay" + std::to_string(id) + ".par";
    std::ofstream(file, std::ios::binary)
        << "[RelayParameters]\nconfigFileName=" << ConfigFile() << "\nnoteId=" << id
        << "\nlogFile=1\nlogFileName=" << LogFile() << "\nMessage=" << MessageFile(id) << "\n"
        << keys;
    return file;
}

std::unique_ptr<capitest::ChildProcess> RelayStation::Start(const std::string& parameterFile) {
    std::string errors = dir_ + "/relay" + std::to_string(++runs_) + ".err";
    return std::make_unique<capitest::ChildProcess>(
        RELAY_PATH, std::vector<std::string>{"-f:" + parameterFile}, env_, WorkDir(), errors);
}

RelayRunResult RelayStation::Run(const std::string& parameterFile) {
    auto child = Start(parameterFile);
    RelayRunResult result;
    result.status = child->Wait(60s).value_or(-1);
    result.lines = child->Lines();
    result.errors = FileText(dir_ + "/relay" + std::to_string(runs_) + ".err");
    return result;
}

std::string RelayStation::Setting(const char* section, const std::string& key) const {
    char value[1024];
    GetPrivateProfileString(section, key.c_str(), "(none)", value, sizeof value,
                            ConfigFile().c_str());
    return value;
}

std::vector<std::string> RelayStation::LogLines() const {
    std::vector<std::string> lines;
    std::istringstream in(FileText(LogFile()));
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(25));
    return lines;
}
