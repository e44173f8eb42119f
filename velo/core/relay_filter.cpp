#include "relay_filter.h"

#include <cstdlib>

using namespace relay_filter;

namespace {

std::string FieldOf(const std::vector<std::string>& profile, size_t field) {
    return field < profile.size() ? profile[field] : std::string();
}

bool Holds(const std::vector<std::string>& profile, size_t field, const std::string& value) {
    return FieldOf(profile, field).find(value) != std::string::npos;
}

}  // namespace

bool FilterRelays(const std::vector<std::string>& profile, const std::string& msn,
                  const std::string& number, const std::string& text) {
    int flags = std::atoi(FieldOf(profile, kFlags).c_str());
    bool include = true;
    if (flags & (kIncludeMsn | kIncludeNumber | kIncludeText)) {
        include = ((flags & kIncludeMsn) && Holds(profile, kMsnIn, msn)) ||
                  ((flags & kIncludeNumber) && Holds(profile, kNumberIn, number)) ||
                  ((flags & kIncludeText) && Holds(profile, kTextIn, text));
    }
    bool exclude = ((flags & kExcludeMsn) && Holds(profile, kMsnOut, msn)) ||
                   ((flags & kExcludeNumber) && Holds(profile, kNumberOut, number)) ||
                   ((flags & kExcludeText) && Holds(profile, kTextOut, text));
    return include && !exclude;
}
