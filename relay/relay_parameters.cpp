#include "relay_parameters.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "config_keys.h"
#include "paths.h"
#include "platform.h"
#include "profile.h"
#include "textcodec.h"
#include "utf8.h"

namespace {

std::string Now() {
    return CTimeText(std::time(nullptr));
}

}  // namespace

bool RelayParameters::Exists() const {
    struct stat st;
    return stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string RelayParameters::Read(const RelayKey& key) const {
    // Room for every character of the longest value in four bytes.
    std::vector<char> buf(key.maxChars * 4 + 1);
    DWORD n = GetPrivateProfileString(relay_key::kParameters, key.name, key.def, buf.data(),
                                      static_cast<DWORD>(buf.size()), path_.c_str());
    return CutToChars(std::string(buf.data(), n), key.maxChars);
}

long RelayParameters::ReadNumber(const RelayKey& key) const {
    return std::strtol(Read(key).c_str(), nullptr, 10);
}

std::string RelayParameters::ConfigFile() const {
    std::string file = Read(relay_key::kConfigFileName);
    return file.empty() ? JoinPath(InstallDir(), cfg::kFileName) : file;
}

int RelayParameters::Operation() const {
    long code = ReadNumber(relay_key::kOperation);
    return code < INT_MIN || code > INT_MAX ? 0 : static_cast<int>(code);
}

int RelayParameters::Tries() const {
    long tries = ReadNumber(relay_key::kTries);
    if (tries < 1) return 1;
    return tries > INT_MAX ? INT_MAX : static_cast<int>(tries);
}

std::chrono::milliseconds RelayParameters::Pause() const {
    long seconds = ReadNumber(relay_key::kDelay);
    if (seconds < 1) seconds = 1;
    if (seconds > INT_MAX) seconds = INT_MAX;
    return std::chrono::seconds(seconds);
}

void RelayParameters::Begin() const {
    ProfileTransaction results(path_);
    results.Write(relay_key::kResults, relay_key::kStarted, Now());
    results.Write(relay_key::kResults, relay_key::kFinished, "");
    results.Write(relay_key::kResults, relay_key::kLastError, "");
    results.Commit();
}

void RelayParameters::Fail(const std::string& error) const {
    ProfileTransaction results(path_);
    results.Write(relay_key::kResults, relay_key::kLastError, OneLineText(error));
    results.Write(relay_key::kResults, relay_key::kFinished, Now());
    results.Commit();
}

void RelayParameters::Finish() const {
    WritePrivateProfileString(relay_key::kResults, relay_key::kFinished, Now().c_str(),
                              path_.c_str());
}

std::string RelayParameters::LastError() const {
    std::vector<char> buf(relay_key::kLastErrorMaxChars * 4 + 1);
    DWORD n = GetPrivateProfileString(relay_key::kResults, relay_key::kLastError, "", buf.data(),
                                      static_cast<DWORD>(buf.size()), path_.c_str());
    return CutToChars(std::string(buf.data(), n), relay_key::kLastErrorMaxChars);
}

std::string OneLineText(const std::string& text) {
    std::string line = TextAsUtf8(text);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}
