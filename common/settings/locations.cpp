#include "locations.h"

#include <sys/stat.h>

#include <cstdlib>

#include "config_keys.h"
#include "paths.h"
#include "profile.h"

namespace {
constexpr size_t kMaxPath = 260;
}

std::string RegistryFile() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = JoinPath(home ? home : "", ".config");
    }
    return JoinPath(JoinPath(base, "Quillmark"), "Telvora.reg");
}

std::optional<std::string> ReadRegistryValue(const char* name) {
    // A value can be told from a missing one only by a default that no value has.
    static const char kMissing[] = "\x01missing\x01";
    char buf[kMaxPath + 1];
    std::string file = RegistryFile();
    GetPrivateProfileString(cfg::kRegistryKey, name, kMissing, buf, sizeof buf, file.c_str());
    // An empty value names no folder either.
    if (std::string(buf) == kMissing || buf[0] == '\0') return std::nullopt;
    return std::string(buf);
}

std::string RegisteredInstallDir() {
    return ReadRegistryValue(cfg::kRegistryInstallDir).value_or(InstallDir());
}

std::string StoreDir() {
    return ReadRegistryValue(cfg::kRegistryStoreDir).value_or(InstallDir());
}

std::string NotesFile() {
    return JoinPath(StoreDir(), "Notes.dat");
}

std::string SettingsFilePath() {
    return JoinPath(InstallDir(), cfg::kFileName);
}

std::string DataDir(const std::string& file) {
    std::string dir = JoinPath(RegisteredInstallDir(), "Data");
    mkdir(dir.c_str(), 0777);
    return file.empty() ? dir : JoinPath(dir, file);
}
