#include "utf8.h"

#include <cstdio>

namespace {


bool Continues(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Characters that reorder the rest of a line on a bidirectional terminal.
bool Reorders(char32_t cp) {
    return cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

size_t Utf8Chars(std::string_view text) {
    size_t n = 0;
    for (char c : text) n += !Continues(c);
    return n;
}

std::string CutToChars(std::string_view text, size_t n) {
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!Continues(text[i]) && chars++ == n) return std::string(text.substr(0, i));
    }
    return std::string(text);
}

Utf8Char DecodeUtf8At(std::string_view s, size_t pos) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char lead = byte(pos);
    if (lead < 0x80) return {lead, 1, true};

    size_t need;
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
        return {kReplacementCharacter, 1, false};
    }

    size_t i = 1;
    for (; i <= need; ++i) {
        if (pos + i >= s.size()) return {kReplacementCharacter, i, false};
        unsigned char c = byte(pos + i);
        unsigned char min = i == 1 ? lo : 0x80, max = i == 1 ? hi : 0xBF;
        if (c < min || c > max) return {kReplacementCharacter, i, false};
        cp = (cp << 6) | (c & 0x3F);
    }
    return {cp, i, true};
}

bool IsUtf8(std::string_view text) {
    for (size_t pos = 0; pos < text.size();) {
        Utf8Char c = DecodeUtf8At(text, pos);
        if (!c.valid) return false;
        pos += c.size;
    }
    return true;
}

std::string PrintableText(std::string_view text, bool keepLines) {
    std::string out;
    out.reserve(text.size());
    char code[16];
    for (size_t pos = 0; pos < text.size();) {
        Utf8Char c = DecodeUtf8At(text, pos);
        bool control = c.cp < 0x20 || c.cp == 0x7F || (c.cp >= 0x80 && c.cp < 0xA0);
        if (keepLines && (c.cp == '\n' || c.cp == '\t')) control = false;
        if (!c.valid) {
            for (size_t i = 0; i < c.size; ++i) {
                std::snprintf(code, sizeof code, "\\x%02X",
                              static_cast<unsigned char>(text[pos + i]));
                out += code;
            }
        } else if (control || Reorders(c.cp)) {
            if (c.cp < 0x80) {
                std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(c.cp));
            } else {
                std::snprintf(code, sizeof code, "\\u{%04X}", static_cast<unsigned>(c.cp));
            }
            out += code;
        } else {
            out += text.substr(pos, c.size);
        }
        pos += c.size;
    }
    return out;
}
