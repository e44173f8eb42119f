#include "mail_encoding.h"

#include <locale.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "textcodec.h"
#include "utf8.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string HexEscape(unsigned char byte) {
    return {'=', kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
}

std::string ToLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        Utf8Char c = DecodeUtf8At(utf8, pos);
        // U+0080 to U+009F are control characters in ISO-8859-1, nothing a
        // note means to send.
        bool latin1 = c.valid && (c.cp < 0x80 || (c.cp >= 0xA0 && c.cp <= 0xFF));
        out += latin1 ? static_cast<char>(c.cp) : '?';
        pos += c.size;
    }
    return out;
}

// One byte of a line in quoted-printable: printable ASCII but "=" stays,
// and so do blanks and tabs that are not the last byte of a line.
std::string QuotedPrintableToken(unsigned char byte, bool lastOfLine) {
    bool printable = byte >= 33 && byte <= 126 && byte != '=';
    bool innerBlank = (byte == ' ' || byte == '\t') && !lastOfLine;
    if (printable || innerBlank) return std::string(1, static_cast<char>(byte));
    return HexEscape(byte);
}

// Encodes one line (without its line end) into out, each output line ended
// by CRLF; softEnd ends the last one with a soft break.
void EncodeQuotedPrintableLine(std::string_view line, bool softEnd, std::string& out) {
    constexpr std::size_t kMaxLine = 76;
    std::string current;
    for (std::size_t i = 0; i < line.size(); ++i) {
        bool last = i + 1 == line.size();
        std::string token = QuotedPrintableToken(static_cast<unsigned char>(line[i]), last);
        // A segment that a soft break follows keeps room for its "=".
        std::size_t room = last && !softEnd ? kMaxLine : kMaxLine - 1;
        if (current.size() + token.size() > room) {
            out += current + "=\r\n";
            current.clear();
        }
        current += token;
    }
    out += current;
    out += softEnd ? "=\r\n" : "\r\n";
}

// Q encoding of one byte: in a phrase only letters, digits and "!*+-/"
// stand for themselves; elsewhere everything printable but "=", "?" and "_".
std::string QEncodedByte(unsigned char byte, bool phrase) {
    if (byte == ' ') return "_";
    bool plain;
    if (phrase) {
        plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                (byte >= '0' && byte <= '9') || byte == '!' || byte == '*' || byte == '+' ||
                byte == '-' || byte == '/';
    } else {
        plain = byte > 32 && byte < 127 && byte != '=' && byte != '?' && byte != '_';
    }
    return plain ? std::string(1, static_cast<char>(byte)) : HexEscape(byte);
}

// Characters that end or split an address when they stand unquoted in its
// friendly name.
bool NeedsQuotes(std::string_view name) {
    return name.find_first_of("()<>[]:;@\\,\"") != std::string_view::npos;
}

std::string Quoted(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string MailCharsetFor(std::string_view utf8) {
    std::string cp1252 = Utf8ToCp1252(utf8);
    for (char c : cp1252) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte < 0xA0) return "windows-1252";
    }
    return "iso-8859-1";
}

std::string ToMailCharset(std::string_view utf8, std::string_view charset) {
    if (charset == "windows-1252") return Utf8ToCp1252(utf8);
    if (charset == "utf-8") return std::string(utf8);
    return ToLatin1(utf8);
}

std::string UniformLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string EncodeQuotedPrintable(std::string_view crlfText) {
    std::string out;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = crlfText.find("\r\n", start);
        if (end == std::string_view::npos) {
            // What follows the last line end: nothing when the text ended
            // with one (the CRLF that ends the data ends that line), else a
            // last line without a line end of its own.
            if (start < crlfText.size() || crlfText.empty()) {
                EncodeQuotedPrintableLine(crlfText.substr(start), true, out);
            }
            return out;
        }
        EncodeQuotedPrintableLine(crlfText.substr(start, end - start), false, out);
        start = end + 2;
    }
}

std::string DoubleLeadingDots(std::string_view crlfText) {
    std::string out;
    out.reserve(crlfText.size() + 16);
    bool lineStart = true;
    for (std::size_t i = 0; i < crlfText.size(); ++i) {
        if (lineStart && crlfText[i] == '.') out += '.';
        out += crlfText[i];
        lineStart = crlfText[i] == '\n' && i > 0 && crlfText[i - 1] == '\r';
    }
    return out;
}

HeaderLineBuilder::HeaderLineBuilder(std::string_view name) : text_(name) {
    text_ += ':';
}

std::size_t HeaderLineBuilder::CurrentLineLength() const {
    return text_.size() - lineStart_;
}

void HeaderLineBuilder::Add(std::string_view piece, std::string_view glue, std::string_view space) {
    text_ += glue;
    if (empty_ || CurrentLineLength() + space.size() + piece.size() <= kFoldedLineLimit) {
        text_ += empty_ ? " " : space;
    } else {
        text_ += "\r\n";
        lineStart_ = text_.size();
        text_ += ' ';
    }
    text_ += piece;
    empty_ = false;
}

void HeaderLineBuilder::AddEncodedWords(std::string_view utf8, bool phrase,
                                        std::string_view space) {
    const std::string charset = MailCharsetFor(utf8);
    const std::string bytes = ToMailCharset(utf8, charset);
    const std::string prefix = "=?" + charset + "?q?";
    // RFC 2047 keeps an encoded word within 75 characters; the first one
    // also has to fit behind what its line already holds.
    constexpr std::size_t kMaxWord = 75;
    constexpr std::size_t kSmallestUsefulWord = 24;
    auto wordLimit = [&](std::string_view before) {
        std::size_t used = empty_ ? CurrentLineLength() + 1 : CurrentLineLength() + before.size();
        std::size_t room = used < kFoldedLineLimit ? kFoldedLineLimit - used : 0;
        return room >= kSmallestUsefulWord ? std::min(room, kMaxWord) : kMaxWord;
    };
    std::string_view before = space;
    std::size_t limit = wordLimit(before);
    std::string payload;
    for (char c : bytes) {
        std::string token = QEncodedByte(static_cast<unsigned char>(c), phrase);
        if (!payload.empty() && prefix.size() + payload.size() + token.size() + 2 > limit) {
            Add(prefix + payload + "?=", "", before);
            payload.clear();
            before = " ";
            limit = wordLimit(before);
        }
        payload += token;
    }
    Add(prefix + payload + "?=", "", before);
}

std::string HeaderLineBuilder::Finish() const {
    return text_ + "\r\n";
}

std::string SingleLineValue(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

bool HasEightBit(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) > 127) return true;
    }
    return false;
}

std::string UnstructuredHeader(std::string_view name, std::string_view utf8Value) {
    std::string value = SingleLineValue(utf8Value);
    std::string plain = std::string(name) + ": " + value;
    if (!HasEightBit(value) && plain.size() <= kMessageLineLimit) return plain + "\r\n";
    HeaderLineBuilder line(name);
    line.AddEncodedWords(value, false, " ");
    return line.Finish();
}

void AddPhrase(HeaderLineBuilder& line, std::string_view utf8Name, std::string_view glue) {
    std::string name = SingleLineValue(utf8Name);
    if (HasEightBit(name)) {
        line.Add("", glue, "");
        line.AddEncodedWords(name, true, "");
    } else {
        line.Add(NeedsQuotes(name) ? Quoted(name) : name, glue, "");
    }
}

std::string MailDateText(std::time_t when) {
    struct tm local {};
    localtime_r(&when, &local);
    // The C locale's names are the English ones that a mail date needs,
    // whatever language the desktop speaks.
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    char text[64];
    std::size_t n = strftime_l(text, sizeof text, "%a, %d %b %Y %H:%M:%S ", &local, cLocale);
    long minutes = local.tm_gmtoff / 60;
    int absolute = static_cast<int>(std::labs(minutes) % (100 * 60));
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d%02d", minutes < 0 ? '-' : '+', absolute / 60,
                  absolute % 60);
    return std::string(text, n) + zone;
}
