// The optional diagnostic log: off unless the configuration's
// [Parameters] "debug" reads as the integer 1. Each program (and the link
// library inside a program) holds its own DebugLog. Every failure is
// silent: the log never stops its caller.
#pragma once

#include <cstdint>
#include <string>

class DebugLog {
public:
    // Reads the switch from configPath and remembers logPath (a name
    // without a folder is relative to the current folder at each write).
    void Init(const std::string& logPath, const std::string& configPath);

    bool IsOn() const { return on_; }

    // Appends "<ctime text>:<message>"; the message brings its own line feed.
    void Write(const char* message) const;

    // printf-style; formats only when the log is on.
    void Printf(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    // Appends a header with the title and length, then the bytes in lines of 16.
    void Dump(const char* title, const void* data, std::int32_t length) const;

private:
    bool on_ = false;
    std::string path_;
};
