// The profile file says what the command line says, and which numbers the
// exchange answers itself; README.md describes its sections.
#include <unistd.h>

#include <set>

#include "options.h"
#include "profile.h"

namespace capisim {
namespace {

constexpr DWORD kListSize = 65536;
constexpr const char* kLinePrefix = "Line ";

std::vector<std::string> NameList(const char* section, const std::string& file) {
    std::vector<char> buffer(kListSize);
    DWORD n = GetPrivateProfileString(section, nullptr, "", buffer.data(), kListSize, file.c_str());
    std::vector<std::string> names;
    for (DWORD at = 0; at < n && buffer[at];) {
        std::string name(&buffer[at]);
        names.push_back(name);
        at += DWORD(name.size()) + 1;
    }
    return names;
}

std::string Folded(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return text;
}

std::string Value(const std::string& section, const std::string& key, const std::string& file) {
    std::vector<char> buffer(4096);
    GetPrivateProfileString(section.c_str(), key.c_str(), "", buffer.data(), DWORD(buffer.size()),
                            file.c_str());
    return buffer.data();
}

bool LoadExchange(const std::string& file, Options& o, std::string& error) {
    const std::string section = "Exchange";
    if (std::string v = Value(section, "Rate", file); !v.empty()) {
        auto rate = ParseUnsigned(v, 100000000);
        if (!rate || *rate == 0) return error = "[Exchange] Rate ist ungültig: " + v, false;
        o.bitsPerSecond = *rate;
    }
    if (std::string v = Value(section, "Delay", file); !v.empty()) {
        auto delay = ParseDecimal(v);
        if (!delay) return error = "[Exchange] Delay ist ungültig: " + v, false;
        o.delayMs = *delay;
    }
    if (std::string v = Value(section, "RingTime", file); !v.empty()) {
        auto ring = ParseDecimal(v);
        if (!ring || *ring <= 0) return error = "[Exchange] RingTime ist ungültig: " + v, false;
        o.ringSeconds = *ring;
    }
    if (std::string v = Value(section, "CallLog", file); !v.empty()) o.callLog = v;
    if (std::string v = Value(section, "SmsLog", file); !v.empty()) o.smsLog = v;
    return true;
}

bool LoadLine(const std::string& file, const std::string& section, Options& o, std::string& error) {
    LineConfig line;
    line.name = section.substr(std::string(kLinePrefix).size());
    auto port = ParseUnsigned(Value(section, "Port", file), 65535);
    auto numbers = ParseNumberList(Value(section, "Numbers", file));
    line.outsidePrefix = Value(section, "OutsidePrefix", file);
    bool prefixOk = line.outsidePrefix.empty() || IsNumber(line.outsidePrefix);
    if (line.name.empty() || !port || !numbers || !prefixOk) {
        error = "[" + section + "] braucht Port=ZAHL und Numbers=NUMMER[,NUMMER...]";
        return false;
    }
    line.port = uint16_t(*port);
    line.numbers = *numbers;
    PutLine(o, line);
    return true;
}

// A number listed twice would only ever show its first entry.
bool LoadSpecials(const std::string& file, Options& o, std::string& error) {
    std::set<std::string> listed;
    for (const std::string& number : NameList("Numbers", file)) {
        if (!listed.insert(number).second) {
            error = "[Numbers] nennt die Rufnummer " + number + " zweimal";
            return false;
        }
        std::string what = Value("Numbers", number, file);
        std::string why;
        auto special = ParseSpecial(number, what, why);
        if (!special) {
            error = "[Numbers] " + number + "=" + what + ": " + why;
            return false;
        }
        o.specials.push_back(*special);
    }
    return true;
}

}  // namespace

bool LoadConfigFile(const std::string& path, Options& o, std::string& error) {
    if (access(path.c_str(), R_OK) != 0) {
        error = "Konfigurationsdatei \"" + path + "\" kann nicht gelesen werden";
        return false;
    }
    if (!LoadExchange(path, o, error)) return false;
    // Section names are compared without case, as the profile reader does:
    // a second section of one name would only ever show the first one's keys.
    std::set<std::string> seen;
    for (const std::string& section : NameList(nullptr, path)) {
        if (section.rfind(kLinePrefix, 0) != 0) continue;
        if (!seen.insert(Folded(section)).second) {
            error = "[" + section +
                    "] steht zweimal in der Profildatei; jede Leitung braucht einen eigenen Namen";
            return false;
        }
        if (!LoadLine(path, section, o, error)) return false;
    }
    return LoadSpecials(path, o, error);
}

}  // namespace capisim
