// German texts for the CAPI reasons with which a call ends.
#pragma once

#include <cstddef>
#include <cstdint>

// The table text, or "ISDN-Fehler #:0x<hex>" for a reason it lacks.
const char* ReasonText(std::uint16_t reason);

std::size_t ReasonTableSize();
std::uint16_t ReasonTableCode(std::size_t index);
