// The record of one ended call, written as one JSON object per line so that
// tests and people can read back what was dialled and how the call went.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "json_line.h"

namespace capisim {

struct CallRecord {
    std::chrono::system_clock::time_point start;
    std::string callingLine;  // empty for a call placed by a control command
    std::string callingNumber;
    std::string dialled;
    std::string outsidePrefix;
    std::string carrierPrefix;
    std::string calledNumber;
    std::string calledLine;  // empty when no line owns the number
    uint16_t cip = 0;
    std::string outcome;
    uint16_t reason = 0;
    std::string clearedBy;
    double duration = 0;  // seconds connected
    uint64_t bytesToCalled = 0;
    uint64_t bytesToCaller = 0;
};

std::string JsonLine(const CallRecord& record);

class CallLog : public JsonLineFile {
public:
    void Write(const CallRecord& record) { Append(JsonLine(record)); }
};

}  // namespace capisim
