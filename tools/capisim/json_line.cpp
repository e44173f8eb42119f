#include "json_line.h"

#include <ctime>

namespace capisim {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string JsonTime(std::chrono::system_clock::time_point t) {
    using namespace std::chrono;
    // Whole seconds rounded down, also before 1970, so that the
    // milliseconds are never negative.
    auto since = duration_cast<milliseconds>(t.time_since_epoch()).count();
    auto millis = ((since % 1000) + 1000) % 1000;
    time_t seconds = time_t((since - millis) / 1000);
    struct tm utc;
    gmtime_r(&seconds, &utc);
    char text[40];
    size_t n = strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    snprintf(text + n, sizeof text - n, ".%03dZ", int(millis));
    return JsonString(text);
}

JsonLineFile::~JsonLineFile() {
    if (file_) fclose(file_);
}

bool JsonLineFile::Open(const std::string& path) {
    if (file_) fclose(file_);
    file_ = fopen(path.c_str(), "a");
    return file_ != nullptr;
}

void JsonLineFile::Append(const std::string& line) {
    if (!file_) return;
    fprintf(file_, "%s\n", line.c_str());
    fflush(file_);
}

}  // namespace capisim
