// The body of a relayed mail as it goes on the wire: the text in ISO-8859-1
// (Windows-1252 when it holds characters only that has, such as "€"),
// quoted-printable with relay's rules: every ".", every "=" and every byte
// from 0x80 on becomes "=XX", and so do control characters and a blank
// before a line end, so that the text arrives exactly as written. Lines are
// cut by soft breaks at 76 characters and end in CR LF.
#pragma once

#include <string>
#include <string_view>

struct MailBody {
    std::string charset;
    // The encoded lines joined by CR LF, without a final line end.
    std::string lines;
    // The text ends in a line end, which the CR LF of the end mark
    // "\r\n.\r\n" gives back; otherwise a soft break before the end mark
    // keeps that CR LF out of the text.
    bool endsWithLineEnd = false;

    // What the Content-Length line says: the encoded lines and the five
    // bytes of the end mark.
    size_t ContentLength() const { return lines.size() + 5; }
    // What is sent between the header's empty line and the end mark.
    std::string Wire() const { return endsWithLineEnd ? lines : lines + "="; }
};

// The body for a UTF-8 text whose lines end in LF; text must not be empty.
MailBody EncodeMailBody(std::string_view utf8);

// The quoted-printable lines of 8-bit text (lines ending in LF) without its
// final line end; softEnd: a soft break will follow the last line.
std::string QuotedPrintableLines(std::string_view text, bool softEnd);
