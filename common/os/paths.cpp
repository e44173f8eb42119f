#include "paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "atomic_file.h"

namespace {

const char* EnvValue(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

std::string HomeDir() {
    if (const char* home = EnvValue("HOME")) return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir && *user->pw_dir ? user->pw_dir : "";
}

bool IsDir(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p: parents with the usual mode, the last level with mode. 0 or
// the errno of the step that failed.
int MakeDirs(const std::string& path, mode_t mode) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string parent = path.substr(0, slash);
        if (mkdir(parent.c_str(), 0755) != 0 && errno != EEXIST) return errno;
        if (!IsDir(parent)) return ENOTDIR;
    }
    if (mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return errno;
    return IsDir(path) ? 0 : ENOTDIR;
}

}  // namespace

std::string DirOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string JoinPath(const std::string& a, const std::string& b) {
    if (a.empty() || a.back() == '/') return a + b;
    return a + "/" + b;
}

std::string ProgramDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    return DirOf(std::string(buf, static_cast<size_t>(n)));
}

std::string UserInstallDir() {
    // The XDG rules ignore a relative path as if it were not set.
    const char* data = EnvValue("XDG_DATA_HOME");
    if (data && data[0] == '/') return JoinPath(data, "telvora");
    std::string home = HomeDir();
    if (home.empty()) return "";
    return JoinPath(home, ".local/share/telvora");
}

std::string InstallDir() {
    if (const char* home = EnvValue("TELVORA_HOME")) return home;
    return UserInstallDir();
}

bool PrepareInstallDir(std::string& error) {
    error.clear();
    if (EnvValue("TELVORA_HOME")) return true;
    std::string dir = UserInstallDir();
    if (dir.empty()) {
        error =
            "Das Installationsverzeichnis ist unbekannt: weder HOME noch XDG_DATA_HOME nennen "
            "einen Ordner. TELVORA_HOME kann es angeben.";
        return false;
    }
    if (IsDir(dir)) return true;
    if (int rc = MakeDirs(dir, 0700)) {
        error = "Das Installationsverzeichnis " + dir +
                " kann nicht angelegt werden: " + GermanErrorText(rc) +
                ". TELVORA_HOME kann ein anderes angeben.";
        return false;
    }
    return true;
}
