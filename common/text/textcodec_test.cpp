#include "textcodec.h"

#include "utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Pair {
    const char* cp1252;
    const char* utf8;
};

// Every byte that Windows-1252 assigns between 0x80 and 0x9F, and samples of
// the rest, as a peer on Windows would send and expect them.
const Pair kMapped[] = {
    {"\x80", "€"}, {"\x82", "‚"},
    {"\x83", "ƒ"}, {"\x84", "„"},
    {"\x85", "…"}, {"\x86", "†"},
    {"\x87", "‡"}, {"\x88", "ˆ"},
    {"\x89", "‰"}, {"\x8A", "Š"},
    {"\x8B", "‹"}, {"\x8C", "Œ"},
    {"\x8E", "Ž"}, {"\x91", "‘"},
    {"\x92", "’"}, {"\x93", "“"},
    {"\x94", "”"}, {"\x95", "•"},
    {"\x96", "–"}, {"\x97", "—"},
    {"\x98", "˜"}, {"\x99", "™"},
    {"\x9A", "š"}, {"\x9B", "›"},
    {"\x9C", "œ"}, {"\x9E", "ž"},
    {"\x9F", "Ÿ"}, {"\xA0", "\u00A0"},
    {"\xA7", "§"}, {"\xC4\xD6\xDC\xE4\xF6\xFC\xDF", "ÄÖÜäöüß"},
    {"\xFF", "ÿ"}, {"Hallo, Welt! 0123 ~", "Hallo, Welt! 0123 ~"},
    {"", ""},
};

TEST(TextCodec, MappedCharactersRoundTrip) {
    for (const auto& p : kMapped) {
        EXPECT_EQ(Cp1252ToUtf8(p.cp1252), p.utf8) << p.utf8;
        EXPECT_EQ(Utf8ToCp1252(p.utf8), p.cp1252) << p.utf8;
    }
}

TEST(TextCodec, EveryByteSurvivesTheRoundTripExceptTheUndefinedOnes) {
    for (int b = 0; b < 256; ++b) {
        std::string one(1, static_cast<char>(b));
        bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
        EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), undefined ? "?" : one) << b;
    }
}

TEST(TextCodec, UndefinedBytesBecomeReplacementCharacter) {
    EXPECT_EQ(Cp1252ToUtf8("a\x81\x8D\x8F\x90\x9D"
                           "b"),
              "a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDb");
}

TEST(TextCodec, CharactersWithoutCp1252ByteBecomeQuestionMark) {
    const Pair cases[] = {
        {"?", "\u0100"},         // Latin A with macron
        {"a?b", "a\u4E2Db"},     // CJK
        {"?", "\U0001F600"},     // emoji, four bytes
        {"?", "\uFFFD"},         // replacement character itself
        {"??", "\u0081\u0090"},  // C1 controls with no 1252 glyph
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252) << c.utf8;
}

TEST(TextCodec, BrokenUtf8BecomesOneQuestionMarkPerBrokenPiece) {
    const Pair cases[] = {
        {"a?b",
         "a\x80"
         "b"},  // stray continuation byte
        {"a?b",
         "a\xC3"
         "b"},                          // lead byte without continuation
        {"a?", "a\xE2\x82"},            // truncated at the end
        {"??", "\xC0\xAF"},             // overlong slash
        {"???", "\xED\xA0\x80"},        // UTF-16 surrogate
        {"????", "\xF4\x90\x80\x80"},   // beyond U+10FFFF
        {"?", "\xFF"},                  // never valid
        {"?\xE4", "\xE2\x82\xC3\xA4"},  // broken piece, then a good character
        {"\x80?", "\xE2\x82\xAC\xE2"},  // good character, then a broken one
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252) << testing::PrintToString(std::string(c.utf8));
    }
}

TEST(TextCodec, NulBytesArePassedThrough) {
    std::string withNul("a\0b", 3);
    EXPECT_EQ(Cp1252ToUtf8(withNul), withNul);
    EXPECT_EQ(Utf8ToCp1252(withNul), withNul);
}

TEST(TextCodec, TextOfUnknownEncodingAndTextForTheTerminal) {
    EXPECT_EQ(TextAsUtf8("Gr\xC3\xBC\xC3\x9F"
                         "e"),
              "Grüße");  // UTF-8 stays
    EXPECT_EQ(TextAsUtf8("Gr\xFC\xDF"
                         "e \x80"),
              "Grüße €");  // else Windows-1252
    struct Case {
        std::string text, shown, body;
    } cases[] = {
        {"\x1B[2J\x1B[HAlles gut", "\\x1B[2J\\x1B[HAlles gut", "\\x1B[2J\\x1B[HAlles gut"},
        {"a\tb\nc\rd", "a\\x09b\\x0Ac\\x0Dd", "a\tb\nc\\x0Dd"},
        {"\xC2\x9B"
         "31m \x7F",
         "\\u{009B}31m \\x7F", "\\u{009B}31m \\x7F"},
        {"\xE2\x80\xAE"
         "evil",
         "\\u{202E}evil", "\\u{202E}evil"},
        {"kaputt \xFF\xC3", "kaputt \\xFF\\xC3", "kaputt \\xFF\\xC3"},
        {"Grüße, Ärger: ok", "Grüße, Ärger: ok", "Grüße, Ärger: ok"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PrintableText(c.text), c.shown);
        EXPECT_EQ(PrintableText(c.text, true), c.body);
    }
}

}  // namespace
