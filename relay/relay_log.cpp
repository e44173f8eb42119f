#include "relay_log.h"

#include <fcntl.h>
#include <unistd.h>

#include "atomic_file.h"
#include "platform.h"

bool AppendRelayLogLine(const std::string& path, const std::string& name, const std::string& text,
                        std::time_t when) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::string line = CTimeText(when) + " " + name + ": " + text + "\n";
    bool written = WriteAllTo(fd, line);
    return close(fd) == 0 && written;
}
