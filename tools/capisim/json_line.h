// Writing the JSON lines of capisim's logs: quoted strings, UTC times, and a
// file that every line is appended and flushed to at once, so that a test
// reading the file sees each line as soon as the event it records happened.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace capisim {

// text (UTF-8) as a JSON string: quotes, backslash and control characters
// escaped.
std::string JsonString(const std::string& text);
// "2024-06-11T09:30:00.123Z", quoted.
std::string JsonTime(std::chrono::system_clock::time_point t);

class JsonLineFile {
public:
    JsonLineFile() = default;
    ~JsonLineFile();
    JsonLineFile(const JsonLineFile&) = delete;
    JsonLineFile& operator=(const JsonLineFile&) = delete;

    // False when the file cannot be opened for appending.
    bool Open(const std::string& path);
    // Appends line and a newline and flushes; nothing when not open.
    void Append(const std::string& line);

private:
    FILE* file_ = nullptr;
};

}  // namespace capisim
