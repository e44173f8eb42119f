#include "call_log.h"

#include <cstdio>

namespace capisim {
namespace {

std::string OrNull(const std::string& text) {
    return text.empty() ? "null" : JsonString(text);
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
    return "{\"time\":" + JsonTime(r.start) + ",\"calling_line\":" + OrNull(r.callingLine) +
           ",\"calling_number\":" + JsonString(r.callingNumber) +
           ",\"dialled\":" + JsonString(r.dialled) +
           ",\"outside_prefix\":" + JsonString(r.outsidePrefix) +
           ",\"carrier_prefix\":" + JsonString(r.carrierPrefix) +
           ",\"called_number\":" + JsonString(r.calledNumber) +
           ",\"called_line\":" + OrNull(r.calledLine) + ",\"cip\":" + std::to_string(r.cip) +
           ",\"outcome\":" + JsonString(r.outcome) + ",\"reason\":" + JsonString(Hex(r.reason)) +
           ",\"cleared_by\":" + JsonString(r.clearedBy) + ",\"duration\":" + duration +
           ",\"bytes_to_called\":" + std::to_string(r.bytesToCalled) +
           ",\"bytes_to_caller\":" + std::to_string(r.bytesToCaller) + "}";
}

}  // namespace capisim
