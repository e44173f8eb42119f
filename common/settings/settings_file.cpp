#include "settings_file.h"

#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "profile.h"

std::string SettingsFile::ReadText(const char* section, const char* key, const char* def) const {
    // Room for 255 characters of up to four bytes each.
    std::vector<char> buf(kMaxValueChars * 4 + 1);
    DWORD n = GetPrivateProfileString(section, key, def, buf.data(), static_cast<DWORD>(buf.size()),
                                      path_.c_str());
    return CutToChars(std::string(buf.data(), n), kMaxValueChars);
}

int SettingsFile::ReadInt(const char* section, const char* key, int def) const {
    return static_cast<int>(GetPrivateProfileInt(section, key, def, path_.c_str()));
}

bool SettingsFile::WriteText(const char* section, const char* key, const char* value) const {
    return WritePrivateProfileString(section, key, value, path_.c_str()) != FALSE;
}

bool SettingsFile::WriteInt(const char* section, const char* key, int value) const {
    return WriteText(section, key, std::to_string(value).c_str());
}

bool SettingsFile::RemoveKey(const char* section, const char* key) const {
    return WriteText(section, key, nullptr);
}

bool SettingsFile::CountUp(const TextSetting& s) const {
    long long count = std::strtoll(Read(s).c_str(), nullptr, 10);
    if (count < std::numeric_limits<long long>::max()) ++count;
    return Write(s, std::to_string(count));
}
