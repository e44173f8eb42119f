#include "install_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "paths.h"

namespace {

std::string Why(int error) {
    switch (error) {
        case ENOENT:
            return "es gibt es nicht";
        case ENOTDIR:
            return "es ist kein Verzeichnis";
        case EACCES:
        case EPERM:
            return "quorlin darf darin nicht schreiben";
        case EROFS:
            return "es liegt auf einem schreibgeschützten Datenträger";
        default:
            return std::strerror(error);
    }
}

}  // namespace

InstallLock::~InstallLock() {
    if (fd_ >= 0) close(fd_);
}

bool InstallLock::Take(const std::string& installDir, std::string& error) {
    struct stat st;
    int fd = -1;
    if (stat(installDir.c_str(), &st) != 0) {
        error = Why(errno);
    } else if (!S_ISDIR(st.st_mode)) {
        error = Why(ENOTDIR);
    } else if (access(installDir.c_str(), W_OK) != 0) {
        error = Why(errno);
    } else {
        fd = open(JoinPath(installDir, "quorlin.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) error = Why(errno);
    }
    if (fd < 0) {
        error = "Das Installationsverzeichnis " + installDir + " ist nicht benutzbar: " + error +
                ". TELVORA_HOME muss ein Verzeichnis nennen, in das quorlin schreiben darf.";
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        error = "Für das Installationsverzeichnis " + installDir +
                " läuft schon ein quorlin; ein zweites würde jeden Anruf doppelt ablegen.";
        return false;
    }
    fd_ = fd;
    return true;
}
