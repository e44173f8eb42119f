#include "numbering.h"

#include <algorithm>

namespace capisim {
namespace {

bool StartsWith(const std::string& s, const std::string& prefix) {
    return !prefix.empty() && s.compare(0, prefix.size(), prefix) == 0;
}

// 0100xx is the six-digit form; any other 010 start is the five-digit 010xx.
size_t CarrierPrefixLength(const std::string& digits) {
    if (StartsWith(digits, "0100") && digits.size() > 6) return 6;
    if (StartsWith(digits, "010") && digits.size() > 5) return 5;
    return 0;
}

}  // namespace

DialledNumber SplitDialled(const std::string& dialled, const std::string& outsidePrefix) {
    DialledNumber d;
    d.dialled = dialled;
    std::string rest = dialled;
    if (StartsWith(rest, outsidePrefix)) {
        d.outsidePrefix = outsidePrefix;
        rest.erase(0, outsidePrefix.size());
    }
    if (size_t n = CarrierPrefixLength(rest)) {
        d.carrierPrefix = rest.substr(0, n);
        rest.erase(0, n);
    }
    d.number = rest;
    return d;
}

NumberPlan::NumberPlan(std::vector<LineConfig> lines, std::vector<SpecialNumber> specials)
    : lines_(std::move(lines)), specials_(std::move(specials)) {}

std::optional<size_t> NumberPlan::LineNamed(const std::string& name) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].name == name) return i;
    }
    return std::nullopt;
}

bool NumberPlan::Owns(size_t line, const std::string& number) const {
    const auto& numbers = lines_[line].numbers;
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

Destination NumberPlan::Find(const std::string& number) const {
    Destination d;
    if (number.empty()) return d;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (!Owns(i, number)) continue;
        d.kind = Destination::kLine;
        d.line = i;
        return d;
    }
    for (const SpecialNumber& s : specials_) {
        if (s.number != number) continue;
        d.kind = Destination::kSpecial;
        d.special = &s;
        return d;
    }
    return d;
}

uint16_t ReasonForReject(uint16_t reject) {
    switch (reject) {
        case 3:
            return reason::kBusy;
        case 4:
            return 0x34AC;  // requested circuit/channel not available
        case 5:
            return 0x349D;  // facility rejected
        case 6:
            return 0x3486;  // channel unacceptable
        case 7:
            return reason::kIncompatible;
        case 8:
            return reason::kOutOfOrder;
        default:
            break;
    }
    // A reject that names its cause directly.
    if (reject >= 0x3480 && reject <= 0x34FF) return reject;
    return reason::kNormal;
}

}  // namespace capisim
