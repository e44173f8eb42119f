// The record of a message that an SMS centre accepted, written as one JSON
// object per line when the centre accepts it, before its answer leaves, so
// that whoever has the answer also finds the line.
#pragma once

#include <chrono>
#include <string>

#include "json_line.h"

namespace capisim {

struct SmsRecord {
    std::chrono::system_clock::time_point time;
    std::string centre;    // the centre's number
    std::string protocol;  // "tap" or "emi"
    std::string callingNumber;
    std::string originator;  // empty for TAP, which carries none
    std::string recipient;
    std::string text;  // UTF-8
};

std::string SmsJsonLine(const SmsRecord& record);

class SmsLog : public JsonLineFile {
public:
    void Write(const SmsRecord& record) { Append(SmsJsonLine(record)); }
};

}  // namespace capisim
