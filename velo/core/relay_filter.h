// The filter test of forwarding: whether a filter profile lets an item go.
// A call is tested with (MSN, caller number, caller name), a note with
// (MSN, sender number, subject).
#pragma once

#include <string>
#include <vector>

namespace relay_filter {
// Fields of a filter profile.
inline constexpr size_t kFlags = 2, kMsnIn = 5, kNumberIn = 6, kTextIn = 7, kMsnOut = 8,
                        kNumberOut = 9, kTextOut = 10;
// Flags: 2, 4, 8 switch the include tests on, 16, 32, 64 the exclude tests.
inline constexpr int kIncludeMsn = 2, kIncludeNumber = 4, kIncludeText = 8, kExcludeMsn = 16,
                     kExcludeNumber = 32, kExcludeText = 64;
}  // namespace relay_filter

// True when the item is to be relayed: it passes an enabled include test
// (or none is enabled) and no enabled exclude test. A test holds when the
// item's value occurs in the profile's field (case-sensitive; an empty
// value occurs in every field).
bool FilterRelays(const std::vector<std::string>& profile, const std::string& msn,
                  const std::string& number, const std::string& text);
