#include "profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "atomic_file.h"
#include "profile_document.h"

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

bool ReadAll(int fd, std::string& out) {
    out.clear();
    char buf[65536];
    off_t at = 0;
    for (;;) {
        ssize_t n = pread(fd, buf, sizeof buf, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.append(buf, static_cast<size_t>(n));
        at += n;
    }
}

// Parsed files, kept while the file on disk is the one that was parsed.
// Holding the file open keeps its inode number from being handed to a
// newer file, so an equal identity means equal content: writers never
// change a file in place, they replace it.
class ProfileCache {
public:
    // Null with errno set when the file cannot be read (ENOENT: it is not there).
    std::shared_ptr<const ProfileDocument> Get(const std::string& path) {
        struct stat now;
        if (stat(path.c_str(), &now) != 0) {
            int error = errno;
            Drop(path);
            errno = error;
            return nullptr;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = entries_.find(path);
            if (it != entries_.end() && SameFile(it->second.id, now)) return it->second.doc;
        }
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return nullptr;
        struct stat id;
        std::string text;
        if (fstat(fd, &id) != 0 || !ReadAll(fd, text)) {
            int error = errno;
            close(fd);
            errno = error;
            return nullptr;
        }
        auto doc = std::make_shared<ProfileDocument>();
        doc->Parse(text);
        Put(path, fd, id, doc);
        return doc;
    }

    // Takes ownership of fd.
    void Put(const std::string& path, int fd, const struct stat& id,
             std::shared_ptr<const ProfileDocument> doc) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (entries_.size() >= kMaxFiles && !entries_.count(path)) EvictOne();
        Entry& e = entries_[path];
        if (e.fd >= 0) close(e.fd);
        e = Entry{fd, id, std::move(doc)};
    }

    void Drop(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = entries_.find(path);
        if (it == entries_.end()) return;
        close(it->second.fd);
        entries_.erase(it);
    }

private:
    static constexpr size_t kMaxFiles = 32;
    struct Entry {
        int fd = -1;
        struct stat id {};
        std::shared_ptr<const ProfileDocument> doc;
    };

    void EvictOne() {
        auto it = entries_.begin();
        close(it->second.fd);
        entries_.erase(it);
    }

    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
};

ProfileCache& Cache() {
    static ProfileCache* cache = new ProfileCache;  // outlives every static destructor
    return *cache;
}

// An exclusive lock on the file that is at path now. A writer that waited
// for the lock may find that the file was replaced meanwhile; it then locks
// the new one. A file that this process may read but not write is locked
// all the same (writable is then false), so that an update that changes
// nothing succeeds on it.
int LockCurrentFile(const std::string& path, bool& writable) {
    for (;;) {
        writable = true;
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0 && (errno == EACCES || errno == EROFS)) {
            int error = errno;
            writable = false;
            fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) errno = error;
        }
        if (fd < 0) return -1;
        while (flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                int error = errno;
                close(fd);
                errno = error;
                return -1;
            }
        }
        struct stat locked, current;
        if (fstat(fd, &locked) == 0 && stat(path.c_str(), &current) == 0 &&
            locked.st_dev == current.st_dev && locked.st_ino == current.st_ino) {
            return fd;
        }
        close(fd);
    }
}

bool UsableFileName(const char* file) {
    return file && *file;
}

// Text written into a line must not start another line.
bool OneLine(std::string_view s) {
    return s.find_first_of("\r\n") == std::string_view::npos;
}

// A key name must read back as the same key: no "=", and no start that
// makes the line a comment or a section header.
bool UsableKeyName(std::string_view key) {
    std::string_view k = TrimProfileBlanks(key);
    return OneLine(key) && key.find('=') == std::string_view::npos &&
           (k.empty() || (k.front() != ';' && k.front() != '['));
}

std::string AsOneLine(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

std::string_view WithoutQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

DWORD CopyValue(std::string_view v, char* buf, DWORD size) {
    size_t n = std::min<size_t>(v.size(), size - 1);
    std::memcpy(buf, v.data(), n);
    buf[n] = '\0';
    return static_cast<DWORD>(n);
}

// Names each ending in a terminator and the list in one more. A list that
// does not fit is cut, ends in two terminators and reports size - 2.
DWORD CopyList(const std::vector<std::string>& names, char* buf, DWORD size) {
    std::string joined;
    for (const std::string& n : names) {
        joined += n;
        joined += '\0';
    }
    if (joined.size() + 1 < size) {
        std::memcpy(buf, joined.data(), joined.size());
        buf[joined.size()] = '\0';
        return static_cast<DWORD>(joined.size());
    }
    if (size < 2) {
        buf[0] = '\0';
        return 0;
    }
    std::memcpy(buf, joined.data(), size - 2);
    buf[size - 2] = '\0';
    buf[size - 1] = '\0';
    return size - 2;
}

std::optional<std::string> LookUp(const char* app, const char* key, const char* file) {
    if (!UsableFileName(file)) return std::nullopt;
    auto doc = Cache().Get(file);
    if (!doc) return std::nullopt;
    auto v = doc->Find(app, key);
    if (!v) return std::nullopt;
    return std::string(WithoutQuotes(*v));
}

}  // namespace

DWORD GetPrivateProfileString(const char* app, const char* key, const char* def, char* buf,
                              DWORD size, const char* file) {
    if (size == 0 || !buf) return 0;
    if (!app || !key) {
        std::shared_ptr<const ProfileDocument> doc;
        if (UsableFileName(file)) doc = Cache().Get(file);
        std::vector<std::string> names;
        if (doc && !app) names = doc->SectionNames();
        if (doc && app) names = doc->KeyNames(app).value_or(std::vector<std::string>{});
        return CopyList(names, buf, size);
    }
    if (auto value = LookUp(app, key, file)) return CopyValue(*value, buf, size);
    std::string_view d = def ? def : "";
    while (!d.empty() && d.back() == ' ') d.remove_suffix(1);
    return CopyValue(d, buf, size);
}

UINT GetPrivateProfileInt(const char* app, const char* key, int def, const char* file) {
    if (!app || !key) return static_cast<UINT>(def);
    auto value = LookUp(app, key, file);
    if (!value || TrimProfileBlanks(*value).empty()) return static_cast<UINT>(def);
    std::string_view v = std::string_view(*value).substr(0, 29);
    while (!v.empty() && static_cast<unsigned char>(v.front()) <= 0x20) v.remove_prefix(1);
    bool negative = false;
    if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
        negative = v.front() == '-';
        v.remove_prefix(1);
    }
    UINT n = 0;
    for (char c : v) {
        if (c < '0' || c > '9') break;
        n = n * 10u + static_cast<UINT>(c - '0');
    }
    return negative ? 0u - n : n;
}

BOOL WritePrivateProfileString(const char* app, const char* key, const char* value,
                               const char* file) {
    if (!app) return FALSE;
    ProfileTransaction tx(file ? file : "");
    if (!key) {
        tx.RemoveSection(app);
    } else if (!value) {
        tx.RemoveKey(app, key);
    } else {
        tx.Write(app, key, value);
    }
    return tx.Commit() ? TRUE : FALSE;
}

ProfileTransaction::ProfileTransaction(std::string file) : file_(std::move(file)) {}

void ProfileTransaction::Write(std::string app, std::string key, std::string value) {
    changes_.push_back(Change{Op::Write, std::move(app), std::move(key), std::move(value)});
}

void ProfileTransaction::RemoveKey(std::string app, std::string key) {
    changes_.push_back(Change{Op::RemoveKey, std::move(app), std::move(key), {}});
}

void ProfileTransaction::RemoveSection(std::string app) {
    changes_.push_back(Change{Op::RemoveSection, std::move(app), {}, {}});
}

bool ProfileTransaction::Commit() {
    // A name that would break the file's structure fails the whole
    // transaction before anything is touched.
    for (const Change& c : changes_) {
        if (!OneLine(c.app)) return false;
        if (c.op != Op::RemoveSection && !UsableKeyName(c.key)) return false;
    }
    bool ok = UpdatePrivateProfile(file_, [this](ProfileEditor& e) {
        for (const Change& c : changes_) {
            switch (c.op) {
                case Op::Write:
                    e.Set(c.app, c.key, c.value);
                    break;
                case Op::RemoveKey:
                    e.RemoveKey(c.app, c.key);
                    break;
                case Op::RemoveSection:
                    e.RemoveSection(c.app);
                    break;
            }
        }
        return true;
    });
    changes_.clear();
    return ok;
}

std::optional<std::string> ProfileReader::Get(const std::string& app,
                                              const std::string& key) const {
    auto v = doc_.Find(app, key);
    if (!v) return std::nullopt;
    return std::string(WithoutQuotes(*v));
}

std::vector<std::string> ProfileReader::KeyNames(const std::string& app) const {
    return doc_.KeyNames(app).value_or(std::vector<std::string>{});
}

bool ProfileEditor::Set(const std::string& app, const std::string& key, const std::string& value) {
    if (!OneLine(app) || !UsableKeyName(key)) return false;
    // A line break in a value would start a line of its own: it becomes a space.
    changed_ |= edited_.Set(app, key, AsOneLine(value));
    return true;
}

bool ProfileEditor::RemoveKey(const std::string& app, const std::string& key) {
    changed_ |= edited_.RemoveKey(app, key);
    return true;
}

bool ProfileEditor::RemoveSection(const std::string& app) {
    changed_ |= edited_.RemoveSection(app);
    return true;
}

bool UpdatePrivateProfile(const std::string& file,
                          const std::function<bool(ProfileEditor&)>& edit) {
    if (file.empty()) {
        errno = ENOENT;
        return false;
    }
    // A link stays a link: its target is what gets locked and replaced.
    std::string target = FollowLinks(file);
    bool writable = true;
    int lockFd = LockCurrentFile(target, writable);
    if (lockFd < 0) return false;
    std::string text;
    if (!ReadAll(lockFd, text)) {
        int error = errno;
        close(lockFd);
        errno = error;
        return false;
    }
    auto doc = std::make_shared<ProfileDocument>();
    doc->Parse(text);
    ProfileEditor editor(*doc);
    bool ok = true;
    if (edit(editor) && editor.Changed()) {
        struct stat old;
        int newFd = -1;
        if (!writable) {
            errno = EACCES;
        } else if (fstat(lockFd, &old) == 0) {
            newFd = ReplaceFileKeepOpen(target, doc->Serialize(), old.st_mode);
        }
        struct stat id;
        if (newFd >= 0 && fstat(newFd, &id) == 0) {
            Cache().Put(file, newFd, id, std::move(doc));
        } else {
            int error = errno;
            if (newFd >= 0) close(newFd);
            ok = false;
            errno = error;
        }
    }
    int error = errno;
    close(lockFd);
    errno = error;
    return ok;
}

std::shared_ptr<const ProfileDocument> ReadProfile(const std::string& file) {
    if (file.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    return Cache().Get(file);
}
