// One quorlin per installation: a second one would file every call twice.
// The lock is a flock on "quorlin.lock" in the installation directory, held
// for the life of the process; the kernel lets it go however quorlin ends.
#pragma once

#include <string>

class InstallLock {
public:
    InstallLock() = default;
    ~InstallLock();
    InstallLock(const InstallLock&) = delete;
    InstallLock& operator=(const InstallLock&) = delete;

    // Takes the lock; false with a German text of what is wrong: the
    // directory cannot be used, or another quorlin holds it.
    bool Take(const std::string& installDir, std::string& error);

private:
    int fd_ = -1;
};
