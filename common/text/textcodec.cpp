#include "textcodec.h"

#include <array>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// 0x80..0x9F of Windows-1252; 0 marks the five bytes it leaves undefined.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char32_t Cp1252ToCodePoint(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    char16_t mapped = kHighControls[byte - 0x80];
    return mapped ? mapped : kReplacement;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The Windows-1252 byte for a code point, or '?' when there is none.
char CodePointToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == cp) return static_cast<char>(0x80 + i);
    }
    return '?';
}

struct Decoded {
    char32_t cp;       // U+FFFD when the sequence is broken: it has no 1252 byte either
    std::size_t size;  // bytes consumed: the whole character, or the broken part
};

// Decodes one character. A broken sequence consumes its longest valid-looking
// prefix (at least one byte), so each broken piece becomes exactly one "?"
// and the byte that broke it starts the next character.
Decoded DecodeUtf8(std::string_view s, std::size_t pos) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char lead = byte(pos);
    if (lead < 0x80) return {lead, 1};

    std::size_t need;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2, cp = lead & 0x0F;
        if (lead == 0xE0) lo = 0xA0;  // overlong
        if (lead == 0xED) hi = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3, cp = lead & 0x07;
        if (lead == 0xF0) lo = 0x90;  // overlong
        if (lead == 0xF4) hi = 0x8F;  // beyond U+10FFFF
    } else {
        return {kReplacement, 1};
    }

    std::size_t i = 1;
    for (; i <= need; ++i) {
        if (pos + i >= s.size()) return {kReplacement, i};
        unsigned char c = byte(pos + i);
        unsigned char min = i == 1 ? lo : 0x80, max = i == 1 ? hi : 0xBF;
        if (c < min || c > max) return {kReplacement, i};
        cp = (cp << 6) | (c & 0x3F);
    }
    return {cp, i};
}

}  // namespace

std::string Utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        Decoded d = DecodeUtf8(utf8, pos);
        out += CodePointToCp1252(d.cp);
        pos += d.size;
    }
    return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size() * 2);
    for (char c : cp1252) AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(c)));
    return out;
}
