#include "relay_message.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "format.h"

namespace {

bool ReadWholeFile(const std::string& path, std::string& text) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[8192];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return n == 0;
}

}  // namespace

std::string LfLineEnds(std::string_view text) {
    std::string lf;
    lf.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        lf += text[i];
    }
    return lf;
}

std::optional<std::string> ReadMessageText(const RelayParameters& params) {
    std::string path = params.Read(relay_key::kMessage);
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        params.Fail(FormatText("cannot find message file: %s", path.c_str()));
        return std::nullopt;
    }
    std::string text;
    if (!ReadWholeFile(path, text)) {
        params.Fail(FormatText("cannot open message file: %s", path.c_str()));
        return std::nullopt;
    }
    return LfLineEnds(text);
}
