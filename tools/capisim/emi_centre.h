// A centre that speaks UCP/EMI and takes operation 51 (submit short
// message): no logon, every frame STX TRN/LEN/O/51/ and 33 fields, each
// ended by "/", a two-digit hexadecimal checksum and ETX, answered by one
// result frame, positive (A) or negative (N) with an error code. Bytes
// outside frames are ignored, up to kSmsMaxUnanswered in a row.
#pragma once

#include <string>

#include "sms_centre.h"

namespace capisim {

// The checksum of an EMI frame: the sum of text's characters modulo 256 as
// two uppercase hexadecimal digits.
std::string EmiChecksum(const std::string& text);
// A whole frame, STX to ETX, from what goes between "TRN/LLLLL/" and the
// checksum; LEN counts everything between STX and ETX.
Bytes EmiFrame(const std::string& trn, const std::string& fields);
// The bytes of an operation's Msg field as Unicode (UTF-8), by the
// centre's character map.
std::string EmiTextToUtf8(const std::string& bytes);

class EmiCentre : public SmsCentreSession {
public:
    EmiCentre(const SmsCentreConfig& config, uint64_t& frames);

    void Receive(const Bytes& data, std::chrono::system_clock::time_point now,
                 SmsCentreOutput& out) override;

private:
    void StartFrame(SmsCentreOutput& out);
    void FinishFrame(std::chrono::system_clock::time_point now, SmsCentreOutput& out);

    const SmsCentreConfig& config_;
    uint64_t& frames_;
    bool inFrame_ = false;
    bool gone_ = false;
    uint64_t frame_ = 0;  // the number of the frame being received
    std::string body_;    // between STX and ETX
    size_t unanswered_ = 0;
};

}  // namespace capisim
