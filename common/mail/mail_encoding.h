// The encodings an e-mail needs on its way out: the 8-bit character set of
// the text, quoted-printable bodies, encoded words in header lines and the
// date line. Texts come in as UTF-8; everything these functions return is
// 7-bit ASCII, ready for the SMTP dialogue.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

// The character set that carries a text: ISO-8859-1, or Windows-1252 when
// the text holds characters that only Windows-1252 has ("€", "„", "“", "…",
// ...), so that they arrive instead of turning into "?".
std::string MailCharsetFor(std::string_view utf8);

// The text in charset ("iso-8859-1", "windows-1252" or "utf-8"; other names
// are read as ISO-8859-1). A character the charset lacks, and a broken UTF-8
// sequence, becomes "?".
std::string ToMailCharset(std::string_view utf8, std::string_view charset);

// Every CRLF, lone CR and lone LF becomes one CRLF.
std::string UniformLineEnds(std::string_view text);

// The quoted-printable form of 8-bit text whose lines end with CRLF: lines
// of at most 76 characters, longer ones cut by soft line breaks; "=",
// control characters, bytes from 0x80 on, and a blank or tab before a line
// end encoded. Every output line ends with CRLF; when the text does not end
// with a line end the last output line ends with a soft break, so that the
// decoded text is the input exactly.
std::string EncodeQuotedPrintable(std::string_view crlfText);

// SMTP transparency: every line that begins with "." gets a second one.
std::string DoubleLeadingDots(std::string_view crlfText);

// Longest header line we write, without its CRLF, and the longest any line
// of a message may be.
inline constexpr std::size_t kFoldedLineLimit = 78;
inline constexpr std::size_t kMessageLineLimit = 998;

// Builds one header field, folding it into lines of at most 78 characters
// where it has to be folded.
class HeaderLineBuilder {
public:
    explicit HeaderLineBuilder(std::string_view name);

    // Appends piece. `glue` stays at the end of the line before the piece
    // in any case (a list's ","); `space` stands between the two when the
    // piece fits on the line, else the line is folded there (CRLF and a
    // blank). The first piece never folds.
    void Add(std::string_view piece, std::string_view glue, std::string_view space);
    // Appends text (UTF-8) as encoded words of the RFC 2047 Q encoding, as
    // many as it takes to keep every line within 78 characters. A phrase
    // (the friendly name of an address) encodes every character that a
    // phrase may not hold; other texts only what must be.
    void AddEncodedWords(std::string_view utf8, bool phrase, std::string_view space);

    // The field with its final CRLF.
    std::string Finish() const;

private:
    std::size_t CurrentLineLength() const;

    std::string text_;
    std::size_t lineStart_ = 0;
    bool empty_ = true;
};

// CR and LF in a header value become blanks: a value can never start a
// header line of its own.
std::string SingleLineValue(std::string_view value);

// True when some byte of text is above 127.
bool HasEightBit(std::string_view text);

// "Name: value" for an unstructured text (the subject): a pure ASCII value
// unchanged, on one line, as long as the line stays within 998 characters;
// any other value as encoded words folded within 78.
std::string UnstructuredHeader(std::string_view name, std::string_view utf8Value);

// The friendly name of an address as a header may carry it: ASCII names as
// they are, in quotes when they hold characters that would split or end the
// address; others are encoded words.
void AddPhrase(HeaderLineBuilder& line, std::string_view utf8Name, std::string_view glue);

// The date line's value for when, in the local zone of the process:
// "Sun, 06 Dec 2026 08:31:21 +0100", with English names in any locale.
std::string MailDateText(std::time_t when);
