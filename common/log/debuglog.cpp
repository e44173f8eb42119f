#include "debuglog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform.h"
#include "profile.h"

namespace {

constexpr int kBytesPerLine = 16;

// True when the value reads as the decimal integer 1. The text is converted
// as C converts it (leading blanks, one sign, digits up to the first
// non-digit), but a number too large for a long stays off instead of
// wrapping round to 1 as the profile's integer read would.
bool SwitchesOn(const char* value) {
    errno = 0;
    char* end = nullptr;
    long number = std::strtol(value, &end, 10);
    return end != value && errno != ERANGE && number == 1;
}

std::FILE* OpenForAppend(const std::string& path) {
    return std::fopen(path.c_str(), "a+");
}

std::string DumpLine(const unsigned char* line, int count) {
    char field[16];
    // The low 32 bits of the address: enough to tell blocks apart, and the
    // line keeps its width on a 64-bit process.
    auto address = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(line) & 0xFFFFFFFFu);
    std::snprintf(field, sizeof field, "0x%08X ", address);
    std::string text = field;
    for (int i = 0; i < count; ++i) {
        std::snprintf(field, sizeof field, "%02X ", line[i]);
        text += field;
    }
    text.append(static_cast<std::size_t>(kBytesPerLine - count) * 3, ' ');
    text += "   ";
    for (int i = 0; i < count; ++i) text += line[i] >= 33 && line[i] <= 126 ? char(line[i]) : '.';
    text += '\n';
    return text;
}

}  // namespace

void DebugLog::Init(const std::string& logPath, const std::string& configPath) {
    char value[256];
    GetPrivateProfileString("Parameters", "debug", "0", value, sizeof value, configPath.c_str());
    on_ = SwitchesOn(value);
    path_ = logPath;
}

void DebugLog::Write(const char* message) const {
    if (!on_) return;
    std::string now = CTimeText(std::time(nullptr));
    std::FILE* file = OpenForAppend(path_);
    if (!file) return;
    std::fprintf(file, "%s:%s", now.c_str(), message ? message : "");
    std::fclose(file);
}

void DebugLog::Printf(const char* format, ...) const {
    if (!on_) return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (size >= 0) {
        std::string message(static_cast<std::size_t>(size), '\0');
        std::vsnprintf(message.data(), message.size() + 1, format, args);
        Write(message.c_str());
    }
    va_end(args);
}

void DebugLog::Dump(const char* title, const void* data, std::int32_t length) const {
    if (!on_) return;
    std::FILE* file = OpenForAppend(path_);
    if (!file) return;
    std::fprintf(file, "%s: (Laenge=%d)\n", title ? title : "", length);
    // A negative length or a missing block has no bytes to show.
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::int32_t offset = 0; bytes && offset < length; offset += kBytesPerLine) {
        int count = length - offset < kBytesPerLine ? length - offset : kBytesPerLine;
        std::fprintf(file, "%s", DumpLine(bytes + offset, count).c_str());
    }
    std::fputc('\n', file);
    std::fclose(file);
}
