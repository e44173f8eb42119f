#include "note_folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "paths.h"
#include "settings_file.h"

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

std::optional<NoteTextFile> CreateNoteTextFile(const std::string& dir, std::time_t now) {
    mkdir(dir.c_str(), 0777);
    for (int ahead = 0; ahead < kMaxSecondsAhead; ++ahead) {
        std::time_t t = now + ahead;
        std::string name = NoteTextFileName(t);
        int fd = open(JoinPath(dir, name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            return NoteTextFile{name, t};
        }
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

std::string ReadNoteText(const std::string& path, size_t maxChars) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::stringstream text;
    text << in.rdbuf();
    return CutToChars(text.str(), maxChars);
}

bool WriteNoteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return !out.fail();
}
