// Which incoming calls the call monitor counts as telephone calls, and the
// short German text each is filed with. A fax machine or an analogue modem
// behind an a/b adapter also arrives as 3.1 kHz audio; the exchange tells
// nothing more, so such calls are filed as well.
#pragma once

#include <cstdint>
#include <string>

// Speech, 3.1 kHz audio, 7 kHz audio, telephony and 7 kHz telephony.
bool IsTelephoneService(std::uint16_t cip);

// The CIP mask of a LISTEN_REQ for exactly those services.
std::uint32_t TelephoneCipMask();

// "Sprache", "3,1 kHz Audio", "7 kHz Audio", "Telefonie", "Telefonie 7 kHz";
// "Dienst <cip>" for any other value.
std::string ServiceText(std::uint16_t cip);
