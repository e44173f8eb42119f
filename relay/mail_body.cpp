#include "mail_body.h"

#include <cstdio>

#include "mail_encoding.h"

namespace {

constexpr size_t kMaxLine = 76;

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t';
}

bool MustEncode(unsigned char c, bool beforeHardLineEnd) {
    if (c == '.' || c == '=' || c >= 0x80 || c == 0x7F) return true;
    if (c < 0x20 && c != '\t') return true;
    // Decoders drop blanks at the end of a line.
    return IsBlank(c) && beforeHardLineEnd;
}

void EncodeLine(std::string_view line, bool softEnd, std::string& out) {
    size_t length = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        bool last = i + 1 == line.size();
        char token[4] = {static_cast<char>(c), 0, 0, 0};
        if (MustEncode(c, last && !softEnd)) std::snprintf(token, sizeof token, "=%02X", c);
        size_t size = token[1] ? 3 : 1;
        // Room for a soft break behind every piece but the last of a line
        // that ends hard.
        size_t room = last && !softEnd ? kMaxLine : kMaxLine - 1;
        if (length + size > room) {
            out += "=\r\n";
            length = 0;
        }
        out.append(token, size);
        length += size;
    }
}

}  // namespace

std::string QuotedPrintableLines(std::string_view text, bool softEnd) {
    std::string out;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            EncodeLine(text.substr(start), softEnd, out);
            return out;
        }
        EncodeLine(text.substr(start, end - start), false, out);
        out += "\r\n";
        start = end + 1;
    }
}

MailBody EncodeMailBody(std::string_view utf8) {
    MailBody body;
    body.charset = MailCharsetFor(utf8);
    std::string bytes = ToMailCharset(utf8, body.charset);
    body.endsWithLineEnd = !bytes.empty() && bytes.back() == '\n';
    if (body.endsWithLineEnd) bytes.pop_back();
    body.lines = QuotedPrintableLines(bytes, !body.endsWithLineEnd);
    return body;
}
