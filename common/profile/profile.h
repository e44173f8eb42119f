// Private-profile (INI) files with the semantics of the Windows functions of
// the same names, safe for several processes: every write re-reads the file
// as it is on disk under an exclusive lock and replaces it atomically, so no
// process ever loses a key that another one wrote, and reads always see the
// newest content.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wintypes.h"

// Copies the value of [app] key into buf (at most size-1 characters, always
// terminated when size > 0) and returns the number of characters copied.
// A missing file, section or key gives def (null means "") without its
// trailing spaces. A null key lists the section's key names, a null app the
// section names, each terminated, the list ending in an extra terminator.
DWORD GetPrivateProfileString(const char* app, const char* key, const char* def, char* buf,
                              DWORD size, const char* file);

// The value as an unsigned integer: leading blanks and one sign allowed,
// digits up to the first non-digit, wrapping modulo 2^32; text without a
// number gives 0; def only when the key is missing or its value empty.
UINT GetPrivateProfileInt(const char* app, const char* key, int def, const char* file);

// Writes [app] key=value. A null value removes the key, a null key removes
// the whole section (both succeed when there is nothing to remove). A null
// app fails. Creates the file, but not its folder.
BOOL WritePrivateProfileString(const char* app, const char* key, const char* value,
                               const char* file);

class ProfileDocument;

// The content of a file as read at one moment: what Get returns is what a
// read would return (the whole value, quotes removed, not cut).
class ProfileReader {
public:
    explicit ProfileReader(const ProfileDocument& doc) : doc_(doc) {}

    std::optional<std::string> Get(const std::string& app, const std::string& key) const;
    // The key names of section app in file order; none when it is missing.
    std::vector<std::string> KeyNames(const std::string& app) const;

private:
    const ProfileDocument& doc_;
};

// The content of a file while it is locked for a change.
class ProfileEditor : public ProfileReader {
public:
    explicit ProfileEditor(ProfileDocument& doc) : ProfileReader(doc), edited_(doc) {}

    // False, changing nothing, for a name that would not read back.
    bool Set(const std::string& app, const std::string& key, const std::string& value);
    bool RemoveKey(const std::string& app, const std::string& key);
    bool RemoveSection(const std::string& app);
    bool Changed() const { return changed_; }

private:
    ProfileDocument& edited_;
    bool changed_ = false;
};

// Runs edit on the file as it is on disk now, under the file's exclusive
// lock, and writes the result with one replace; a symbolic link is followed
// and its target replaced. When edit returns false the file stays as it
// was. False, with errno set, when the file cannot be read or written (an
// edit that changes nothing needs no write access).
bool UpdatePrivateProfile(const std::string& file, const std::function<bool(ProfileEditor&)>& edit);

// The file as it is now, for reading many keys of one moment. Null with
// errno set when it cannot be read; ENOENT means it is not there.
std::shared_ptr<const ProfileDocument> ReadProfile(const std::string& file);

// Many writes to one file under one lock and one replace, with the same
// result as the same WritePrivateProfileString calls made one by one.
class ProfileTransaction {
public:
    explicit ProfileTransaction(std::string file);

    void Write(std::string app, std::string key, std::string value);
    void RemoveKey(std::string app, std::string key);
    void RemoveSection(std::string app);

    // Applies every change to the file as it is on disk now. False when the
    // file cannot be written; the file is then unchanged.
    bool Commit();

private:
    enum class Op { Write, RemoveKey, RemoveSection };
    struct Change {
        Op op;
        std::string app, key, value;
    };
    std::string file_;
    std::vector<Change> changes_;
};
