#include "sms_text.h"

#include "textcodec.h"

namespace {

struct Mapped {
    unsigned char from, tap, emi;
};

// § Ä Ö Ü ß ä ö ü as each protocol's centres read them.
constexpr Mapped kGermanLetters[] = {
    {0xA7, 0x24, 0x5E}, {0xC4, 0x5B, 0x5B}, {0xD6, 0x5C, 0x5C}, {0xDC, 0x5E, 0x5D},
    {0xDF, 0x1E, 0x7E}, {0xE4, 0x7B, 0x7B}, {0xF6, 0x7C, 0x7C}, {0xFC, 0x7E, 0x7D},
};

char MapByte(SmsProtocol protocol, unsigned char c) {
    if (c < 0x80) return static_cast<char>(c);
    for (const Mapped& m : kGermanLetters) {
        if (m.from == c) return static_cast<char>(protocol == SmsProtocol::Tap ? m.tap : m.emi);
    }
    return '.';
}

}  // namespace

std::string MapSmsText(SmsProtocol protocol, std::string_view utf8) {
    std::string wire = Utf8ToCp1252(utf8);
    std::string mapped;
    mapped.reserve(wire.size());
    for (char c : wire) {
        if (protocol == SmsProtocol::Tap && c == '\r') continue;
        mapped += MapByte(protocol, static_cast<unsigned char>(c));
    }
    return mapped;
}
