#include "call_log.h"

#include <ctime>

namespace capisim {
namespace {

std::string Quoted(const std::string& text) {
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

std::string OrNull(const std::string& text) {
    return text.empty() ? "null" : Quoted(text);
}

std::string IsoTime(std::chrono::system_clock::time_point t) {
    using namespace std::chrono;
    time_t seconds = system_clock::to_time_t(t);
    auto millis = duration_cast<milliseconds>(t.time_since_epoch()).count() % 1000;
    struct tm utc;
    gmtime_r(&seconds, &utc);
    char text[40];
    size_t n = strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    snprintf(text + n, sizeof text - n, ".%03dZ", int(millis));
    return text;
}

std::string Hex(uint16_t value) {
    char text[8];
    snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

}  // namespace

std::string JsonLine(const CallRecord& r) {
    char duration[32];
    snprintf(duration, sizeof duration, "%.3f", r.duration);
    return "{\"time\":" + Quoted(IsoTime(r.start)) + ",\"calling_line\":" + OrNull(r.callingLine) +
           ",\"calling_number\":" + Quoted(r.callingNumber) + ",\"dialled\":" + Quoted(r.dialled) +
           ",\"outside_prefix\":" + Quoted(r.outsidePrefix) +
           ",\"carrier_prefix\":" + Quoted(r.carrierPrefix) +
           ",\"called_number\":" + Quoted(r.calledNumber) +
           ",\"called_line\":" + OrNull(r.calledLine) + ",\"cip\":" + std::to_string(r.cip) +
           ",\"outcome\":" + Quoted(r.outcome) + ",\"reason\":" + Quoted(Hex(r.reason)) +
           ",\"cleared_by\":" + Quoted(r.clearedBy) + ",\"duration\":" + duration +
           ",\"bytes_to_called\":" + std::to_string(r.bytesToCalled) +
           ",\"bytes_to_caller\":" + std::to_string(r.bytesToCaller) + "}";
}

CallLog::~CallLog() {
    if (file_) fclose(file_);
}

bool CallLog::Open(const std::string& path) {
    file_ = fopen(path.c_str(), "a");
    return file_ != nullptr;
}

void CallLog::Write(const CallRecord& record) {
    if (!file_) return;
    fprintf(file_, "%s\n", JsonLine(record).c_str());
    fflush(file_);
}

}  // namespace capisim
