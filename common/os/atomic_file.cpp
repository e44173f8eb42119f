#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

// As the kernel does: a chain of more links than this is a loop.
constexpr int kMaxLinks = 40;

}  // namespace

bool WriteAllTo(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat st;
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        char target[PATH_MAX];
        ssize_t n = readlink(current.c_str(), target, sizeof target - 1);
        if (n <= 0) return current;
        std::string next(target, static_cast<size_t>(n));
        if (next.front() != '/') {
            size_t slash = current.rfind('/');
            if (slash != std::string::npos) next = current.substr(0, slash + 1) + next;
        }
        current = next;
    }
    return current;
}

int ReplaceFileKeepOpen(const std::string& path, std::string_view text, mode_t mode) {
    std::string target = FollowLinks(path);
    std::string temp = target + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) return -1;
    if (fchmod(fd, mode & 07777) == 0 && WriteAllTo(fd, text) && fdatasync(fd) == 0 &&
        rename(temp.c_str(), target.c_str()) == 0) {
        return fd;
    }
    int error = errno;
    close(fd);
    unlink(temp.c_str());
    errno = error;
    return -1;
}

bool ReplaceFile(const std::string& path, std::string_view text) {
    struct stat old;
    mode_t mode = stat(path.c_str(), &old) == 0 ? old.st_mode : 0644;
    int fd = ReplaceFileKeepOpen(path, text, mode);
    if (fd < 0) return false;
    return close(fd) == 0;
}

std::string GermanErrorText(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "keine Berechtigung";
        case EROFS:
            return "der Datenträger ist schreibgeschützt";
        case ENOSPC:
        case EDQUOT:
            return "der Datenträger ist voll";
        case ENOENT:
            return "nicht vorhanden";
        case ENOTDIR:
            return "ein Teil des Pfades ist kein Verzeichnis";
        case EISDIR:
            return "ist ein Verzeichnis";
        case ELOOP:
            return "zu viele symbolische Verweise";
        case EIO:
            return "Ein-/Ausgabefehler";
        default:
            return "Fehler " + std::to_string(error) + " (" + std::strerror(error) + ")";
    }
}
