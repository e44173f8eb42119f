// The access object for Telvora's settings-style files: the configuration
// file, the notes data file, the old address file and the relay parameter
// files. Values read back with at most 255 characters.
#pragma once

#include <string>

#include "config_keys.h"
#include "utf8.h"

class SettingsFile {
public:
    static constexpr size_t kMaxValueChars = 255;

    explicit SettingsFile(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

    // The stored value cut at 255 characters, else def.
    std::string ReadText(const char* section, const char* key, const char* def = "") const;
    int ReadInt(const char* section, const char* key, int def) const;
    // A null value removes the key.
    bool WriteText(const char* section, const char* key, const char* value) const;
    bool WriteInt(const char* section, const char* key, int value) const;
    bool RemoveKey(const char* section, const char* key) const;

    std::string Read(const TextSetting& s) const { return ReadText(s.section, s.key, s.def); }
    int Read(const IntSetting& s) const { return ReadInt(s.section, s.key, s.def); }
    bool Write(const TextSetting& s, const std::string& value) const {
        return WriteText(s.section, s.key, value.c_str());
    }
    bool Write(const IntSetting& s, int value) const { return WriteInt(s.section, s.key, value); }
    // A counter kept as text, one up: its number as C reads it (0 for none),
    // staying at the largest number there is.
    bool CountUp(const TextSetting& s) const;

private:
    std::string path_;
};
