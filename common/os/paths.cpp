#include "paths.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

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

std::string InstallDir() {
    const char* home = std::getenv("TELVORA_HOME");
    if (home && *home) return home;
    return ProgramDir();
}
