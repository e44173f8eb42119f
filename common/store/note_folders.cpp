#include "note_folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "atomic_file.h"
#include "paths.h"
#include "utf8.h"

namespace {
// Give up after a day's worth of taken names rather than loop forever.
constexpr int kMaxSecondsAhead = 86400;
}  // namespace

const char* FolderSection(int folder) {
    static const char* const kSections[kFolderCount] = {
        "SendNotes", "OutNotes", "InNotes", "PhoneCalls", "RelayedNotes", "DeletedNotes"};
    return folder >= 0 && folder < kFolderCount ? kSections[folder] : "";
}

std::string FolderDir(const std::string& storeDir, const std::string& folderPath) {
    if (!folderPath.empty() && folderPath.front() == '/') return folderPath;
    return JoinPath(storeDir, folderPath);
}

std::string NoteTextFileName(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char name[32];
    std::strftime(name, sizeof name, "N%Y%m%d%H%M%S.txt", &local);
    return name;
}

std::optional<NoteTextFile> CreateNoteTextFile(const std::string& dir, std::time_t now,
                                               const std::function<bool(std::time_t)>& taken) {
    mkdir(dir.c_str(), 0777);
    for (int ahead = 0; ahead < kMaxSecondsAhead; ++ahead) {
        std::time_t t = now + ahead;
        if (taken && taken(t)) continue;
        std::string name = NoteTextFileName(t);
        int fd = open(JoinPath(dir, name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            return NoteTextFile{name, t};
        }
        if (errno != EEXIST) return std::nullopt;
    }
    errno = EEXIST;
    return std::nullopt;
}

std::string ReadNoteText(const std::string& path, size_t maxChars) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "";
    // No character takes more than four bytes: what lies beyond is cut anyway.
    std::string text(maxChars * 4, '\0');
    size_t got = 0;
    while (got < text.size()) {
        ssize_t n = read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    text.resize(got);
    return CutToChars(text, maxChars);
}

bool WriteNoteText(const std::string& path, const std::string& text) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = WriteAllTo(fd, text);
    int error = errno;
    ok = close(fd) == 0 && ok;
    if (!ok) errno = error;
    return ok;
}
