// Lines, the numbers they own, the numbers the exchange answers itself, and
// how dialled digits become a destination: the calling line's outside-line
// prefix and a call-by-call carrier prefix (010xx, 0100xx) are taken off and
// kept, the rest must match a number exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sms_centre.h"

namespace capisim {

struct LineConfig {
    std::string name;
    uint16_t port = 0;
    std::vector<std::string> numbers;
    std::string outsidePrefix;
};

enum class SpecialKind { kBusy, kNoAnswer, kReject, kSmsCentre };

struct SpecialNumber {
    std::string number;
    SpecialKind kind = SpecialKind::kBusy;
    uint16_t reject = 0;     // the CONNECT_RESP Reject value for kReject
    SmsCentreConfig centre;  // for kSmsCentre
};

struct DialledNumber {
    std::string dialled;
    std::string outsidePrefix;
    std::string carrierPrefix;
    std::string number;
};

DialledNumber SplitDialled(const std::string& dialled, const std::string& outsidePrefix);

struct Destination {
    enum Kind { kNone, kLine, kSpecial } kind = kNone;
    size_t line = 0;
    const SpecialNumber* special = nullptr;
};

class NumberPlan {
public:
    NumberPlan(std::vector<LineConfig> lines, std::vector<SpecialNumber> specials);

    const std::vector<LineConfig>& Lines() const { return lines_; }
    std::optional<size_t> LineNamed(const std::string& name) const;
    Destination Find(const std::string& number) const;
    bool Owns(size_t line, const std::string& number) const;

private:
    std::vector<LineConfig> lines_;
    std::vector<SpecialNumber> specials_;
};

// The network cause, in CAPI's 0x34xx form, that a CONNECT_RESP Reject
// value stands for.
uint16_t ReasonForReject(uint16_t reject);

// Cause values the exchange reports, as CAPI reasons.
namespace reason {
constexpr uint16_t kNone = 0;
constexpr uint16_t kLayer1 = 0x3301;
constexpr uint16_t kOtherApplication = 0x3304;
constexpr uint16_t kUnallocated = 0x3481;
constexpr uint16_t kNormal = 0x3490;
constexpr uint16_t kBusy = 0x3491;
constexpr uint16_t kNoAnswer = 0x3492;
constexpr uint16_t kOutOfOrder = 0x349B;
constexpr uint16_t kNoChannel = 0x34A2;
constexpr uint16_t kIncompatible = 0x34D8;
constexpr uint16_t kTimerExpiry = 0x34E6;
}  // namespace reason

}  // namespace capisim
