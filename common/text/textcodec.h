// Texts are UTF-8 everywhere but on the wire, where peers on Windows expect
// Windows-1252.
#pragma once

#include <string>
#include <string_view>

// A character that Windows-1252 lacks (or a broken UTF-8 sequence) becomes "?".
std::string Utf8ToCp1252(std::string_view utf8);
// The five bytes that Windows-1252 leaves undefined map to U+FFFD.
std::string Cp1252ToUtf8(std::string_view cp1252);
// Text of unknown encoding, as a user's file or command line brings it:
// kept when it is UTF-8, else read as Windows-1252, the encoding of the
// Windows programs such texts come from.
std::string TextAsUtf8(std::string_view bytes);
