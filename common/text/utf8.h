// UTF-8 texts counted and cut by characters, checked, and made safe to
// print. Limits of the store (255 characters a value, 2047 a note) count
// characters, not bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What stands for a character that cannot be had: U+FFFD.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The number of characters: every byte that does not continue a sequence.
size_t Utf8Chars(std::string_view text);

// text cut after its first n characters (sequences stay whole).
std::string CutToChars(std::string_view text, size_t n);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(std::string_view text);

// One character of text at pos: its code point and its length in bytes. A
// broken sequence gives U+FFFD and the length of its broken part (at least
// one byte), so that the byte that broke it starts the next character.
struct Utf8Char {
    char32_t cp;
    size_t size;
    bool valid;
};
Utf8Char DecodeUtf8At(std::string_view text, size_t pos);

// text as a terminal may show it: control characters (C0, DEL, C1), the
// characters that reorder a line and bytes that are no UTF-8 are written as
// \xNN or \u{NNNN}, so that text from another station cannot move the
// cursor, clear the screen or fake a line of output. keepLines lets line
// feeds and tabs through, for the body of a note.
std::string PrintableText(std::string_view text, bool keepLines = false);
