#include "mail_encoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

int HexValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

// Quoted-printable back to bytes, the way a receiving mail program reads it.
std::string QuotedPrintableDecoded(const std::string& encoded) {
    std::string out;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded.compare(i, 3, "=\r\n") == 0) {
            i += 2;
        } else if (encoded[i] == '=') {
            out += static_cast<char>(HexValue(encoded[i + 1]) * 16 + HexValue(encoded[i + 2]));
            i += 2;
        } else {
            out += encoded[i];
        }
    }
    return out;
}

std::vector<std::string> CrlfLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "every line ends with CRLF: " << text;
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TEST(QuotedPrintableTest, EncodesWhatMustBeEncodedAndDecodesExactly) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"Gr\xFC\xDF"
         "e",
         "Gr=FC=DFe=\r\n"},
        {"a=b\r\n", "a=3Db\r\n"},
        {"blank  \r\ntab\t\r\nin side\r\n", "blank =20\r\ntab=09\r\nin side\r\n"},
        {"bell\x07\x7F", "bell=07=7F=\r\n"},
        {"", "=\r\n"},
        {"\r\n", "\r\n"},
        {"\r\n\r\nx", "\r\n\r\nx=\r\n"},
        {".\r\n..x\r\n", ".\r\n..x\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeQuotedPrintable(c.in), c.out) << c.in;
        EXPECT_EQ(QuotedPrintableDecoded(c.out), c.in);
    }
}

TEST(QuotedPrintableTest, LongLinesAreCutWithinSeventySixCharacters) {
    // Lines of every length around the limit, with escapes falling on and
    // around the place of the cut, with and without a final line end.
    for (std::size_t length = 60; length < 240; ++length) {
        for (char filler : {'a', '=', '\xE4', ' '}) {
            std::string line(length, 'x');
            for (std::size_t i = length % 7; i < length; i += 5) line[i] = filler;
            for (const std::string& text : {line, line + "\r\n" + line + "\r\n"}) {
                std::string encoded = EncodeQuotedPrintable(text);
                for (const std::string& l : CrlfLines(encoded)) {
                    ASSERT_LE(l.size(), 76u) << l;
                    ASSERT_TRUE(l.empty() || (l.back() != ' ' && l.back() != '\t')) << l;
                }
                ASSERT_EQ(QuotedPrintableDecoded(encoded), text);
            }
        }
    }
}

TEST(QuotedPrintableTest, LeadingDotsAreDoubledOnEveryLine) {
    EXPECT_EQ(DoubleLeadingDots(".\r\n.a\r\nb.\r\n..\r\nc=\r\n.d"),
              "..\r\n..a\r\nb.\r\n...\r\nc=\r\n..d");
    EXPECT_EQ(DoubleLeadingDots("no dots\r\n"), "no dots\r\n");
    EXPECT_EQ(UniformLineEnds("a\nb\rc\r\nd\r\r\n\n"), "a\r\nb\r\nc\r\nd\r\n\r\n\r\n");
}

TEST(MailCharsetTest, LatinOneUnlessTheTextNeedsWindows1252) {
    EXPECT_EQ(MailCharsetFor("Grüße"), "iso-8859-1");
    EXPECT_EQ(MailCharsetFor("plain"), "iso-8859-1");
    EXPECT_EQ(MailCharsetFor("5 € „zu viel“"), "windows-1252");
    EXPECT_EQ(ToMailCharset("Grüße Ω", "iso-8859-1"),
              "Gr\xFC\xDF"
              "e ?");
    EXPECT_EQ(ToMailCharset("5 €", "iso-8859-1"), "5 ?");
    EXPECT_EQ(ToMailCharset("5 €", "windows-1252"), "5 \x80");
    EXPECT_EQ(ToMailCharset("\xC2\x85"
                            "x\xFF",
                            "iso-8859-1"),
              "?x?");
}

TEST(HeaderEncodingTest, AsciiStaysAndAnythingElseBecomesEncodedWords) {
    EXPECT_EQ(UnstructuredHeader("Subject", "Hello world"), "Subject: Hello world\r\n");
    EXPECT_EQ(UnstructuredHeader("Subject", "Grüße aus Köln?"),
              "Subject: =?iso-8859-1?q?Gr=FC=DFe_aus_K=F6ln=3F?=\r\n");
    EXPECT_EQ(UnstructuredHeader("Subject", "5 €"), "Subject: =?windows-1252?q?5_=80?=\r\n");
    // A line end can never start a header line of its own.
    EXPECT_EQ(UnstructuredHeader("Subject", "a\r\nBcc: x@y"), "Subject: a  Bcc: x@y\r\n");
}

// That they decode back to the text is what the server's Python tells.
TEST(HeaderEncodingTest, LongValuesAreFoldedIntoEncodedWords) {
    std::string umlauts;
    while (umlauts.size() < 500) umlauts += "Größere Änderungen über Nacht, ";
    std::string ascii(1200, 'a');
    for (std::size_t i = 100; i < ascii.size(); i += 100) ascii[i] = ' ';
    for (const std::string& value : {umlauts, ascii, std::string("ä") + std::string(200, '_')}) {
        std::string field = UnstructuredHeader("Subject", value);
        std::vector<std::string> lines = CrlfLines(field);
        ASSERT_GT(lines.size(), 1u);
        for (const std::string& line : lines) {
            EXPECT_LE(line.size(), 78u) << line;
            EXPECT_FALSE(HasEightBit(line)) << line;
        }
        EXPECT_EQ(lines.back().substr(lines.back().size() - 2), "?=");
    }
    // Long, but within what a line may hold: pure ASCII stays as it is.
    std::string longAscii(300, 'b');
    EXPECT_EQ(UnstructuredHeader("Subject", longAscii), "Subject: " + longAscii + "\r\n");
}

TEST(MailDateTest, ZonesWithHalfHoursAndDaylightTime) {
    struct Case {
        const char* zone;
        std::time_t when;
        const char* text;
    } cases[] = {
        {"Asia/Kolkata", 1719835200, "Mon, 01 Jul 2024 17:30:00 +0530"},
        {"Europe/Berlin", 1719835200, "Mon, 01 Jul 2024 14:00:00 +0200"},
        {"Europe/Berlin", 1705320000, "Mon, 15 Jan 2024 13:00:00 +0100"},
        {"America/St_Johns", 1705320000, "Mon, 15 Jan 2024 08:30:00 -0330"},
        {"America/St_Johns", 1719835200, "Mon, 01 Jul 2024 09:30:00 -0230"},
        {"UTC", 1733473881, "Fri, 06 Dec 2024 08:31:21 +0000"},
    };
    std::string saved = getenv("TZ") ? getenv("TZ") : "";
    for (const Case& c : cases) {
        setenv("TZ", c.zone, 1);
        tzset();
        EXPECT_EQ(MailDateText(c.when), c.text) << c.zone;
    }
    if (saved.empty())
        unsetenv("TZ");
    else
        setenv("TZ", saved.c_str(), 1);
    tzset();
}

}  // namespace
