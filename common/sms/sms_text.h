// The texts of a short message as the SMS centres of the two dial-in
// protocols expect them: Windows-1252 first, then the protocol's own map of
// the German letters; any other character above 0x7F becomes ".".
#pragma once

#include <string>
#include <string_view>

enum class SmsProtocol { Tap, Emi };

// The text bytes of a message, from UTF-8. TAP also drops every carriage
// return; EMI keeps it.
std::string MapSmsText(SmsProtocol protocol, std::string_view utf8);

// The longest text an SMS may have, counted in characters.
inline constexpr size_t kMaxSmsChars = 160;
