#include "mail_body.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "textcodec.h"

namespace {

// What a receiver reads from the wire: soft breaks gone, "=XX" as bytes,
// the CR LF of the end mark read as the final line end.
std::string Decoded(const MailBody& body) {
    std::string wire = body.Wire() + "\r\n", text;
    for (size_t i = 0; i < wire.size(); ++i) {
        if (wire.compare(i, 3, "=\r\n") == 0) {
            i += 2;
        } else if (wire[i] == '=') {
            text += static_cast<char>(std::strtol(wire.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else if (wire.compare(i, 2, "\r\n") == 0) {
            text += '\n';
            ++i;
        } else {
            text += wire[i];
        }
    }
    return text;
}

size_t LongestLine(const std::string& wire) {
    size_t longest = 0, start = 0;
    for (size_t end; (end = wire.find("\r\n", start)) != std::string::npos; start = end + 2) {
        longest = std::max(longest, end - start);
    }
    return std::max(longest, wire.size() - start);
}

TEST(MailBody, TheEuroGoesAsWindows1252AndTheLengthCountsTheEndMark) {
    MailBody body = EncodeMailBody("Preis: 5.00 €=");
    EXPECT_EQ(body.charset, "windows-1252");
    EXPECT_EQ(body.lines, "Preis: 5=2E00 =80=3D");
    EXPECT_EQ(body.ContentLength(), 25u);
    // No line end at the end of the text: a soft break keeps the end mark's out.
    EXPECT_EQ(body.Wire(), "Preis: 5=2E00 =80=3D=");
    EXPECT_EQ(Decoded(body), "Preis: 5.00 \x80=");
}

TEST(MailBody, EncodesWhatATransportWouldChangeAndNothingElse) {
    struct Case {
        const char* text;
        const char* charset;
        const char* wire;
    } cases[] = {
        {"Grüße aus Köln\n", "iso-8859-1", "Gr=FC=DFe aus K=F6ln"},
        {"a\nb\n\n", "iso-8859-1", "a\r\nb\r\n"},
        {".\n..x\nEnde.", "iso-8859-1", "=2E\r\n=2E=2Ex\r\nEnde=2E="},
        {"Leer \nTab\t\nnoch \t", "iso-8859-1", "Leer=20\r\nTab=09\r\nnoch \t="},
        {"CR\rmitten\x01\x7f", "iso-8859-1", "CR=0Dmitten=01=7F="},
        {"\n", "iso-8859-1", ""},
        {"Zeichen ohne Platz: 日本", "iso-8859-1", "Zeichen ohne Platz: ?" "?="},
        {"„Zitat“ – 1 €", "windows-1252", "=84Zitat=93 =96 1 =80="},
    };
    for (const Case& c : cases) {
        MailBody body = EncodeMailBody(c.text);
        EXPECT_EQ(body.charset, c.charset) << c.text;
        EXPECT_EQ(body.Wire(), c.wire) << c.text;
        if (std::string(c.text).find("日") == std::string::npos) {
            EXPECT_EQ(Decoded(body), Utf8ToCp1252(c.text)) << c.text;
        }
    }
}

// Lines of every length around the limit, with encoded characters where a
// break falls: no line is longer than 76 characters, no "=XX" is split,
// and the text comes back as it was.
TEST(MailBody, SoftBreaksKeepEveryLineWithin76Characters) {
    for (size_t length = 70; length <= 160; ++length) {
        for (const char* tail : {"", "=", "ä.", " ", "\n", " \n", "==\n"}) {
            for (char fill : {'a', '.'}) {
                std::string text = std::string(length, fill) + tail;
                MailBody body = EncodeMailBody(text);
                std::string wire = body.Wire();
                EXPECT_LE(LongestLine(wire), 76u) << length << " " << tail << fill << "\n" << wire;
                EXPECT_EQ(Decoded(body), Utf8ToCp1252(text)) << length << " " << tail << fill;
            }
        }
    }
    EXPECT_EQ(QuotedPrintableLines(std::string(80, 'x'), false),
              std::string(75, 'x') + "=\r\n" + std::string(5, 'x'));
    EXPECT_EQ(QuotedPrintableLines(std::string(76, 'x'), false), std::string(76, 'x'));
    EXPECT_EQ(QuotedPrintableLines(std::string(76, 'x'), true), std::string(75, 'x') + "=\r\nx");
    EXPECT_EQ(QuotedPrintableLines(std::string(74, 'x') + ".", false),
              std::string(74, 'x') + "=\r\n=2E");
}

}  // namespace
