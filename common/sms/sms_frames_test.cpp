// The bytes an SMS centre sees: blocks, frames, checksums and the
// character maps, and how its replies are read.
#include "sms_frames.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "sms_text.h"

namespace {

TEST(SmsFrames, TapBlockOfTheWorkedExampleEndsInChecksum32Equals) {
    std::string block = tap::Block("0170000000", "abc");
    EXPECT_EQ(block, std::string("\x02" "0170000000\rabc\r\x03" "32=\r"));
    // 813 = 0x32D: the nibble 13 is written as "=", not as a letter.
    EXPECT_EQ(tap::Checksum(block.substr(0, block.size() - 4)), "32=");
}

TEST(SmsFrames, TapChecksumWritesNibblesTenToFifteenAsPunctuation) {
    EXPECT_EQ(tap::Checksum(std::string(0xABC / 0xFF, '\xFF') + char(0xABC % 0xFF)), ":;<");
    EXPECT_EQ(tap::Checksum(std::string(0xDEF / 0xFF, '\xFF') + char(0xDEF % 0xFF)), "=>?");
    // Bits above 11 do not show.
    EXPECT_EQ(tap::Checksum(std::string(0x1000 / 0x80, '\x80')), "000");
}

TEST(SmsFrames, EmiFrameOfTheWorkedExampleHasLength67AndChecksum61) {
    std::string frame = emi::SubmitFrame("0", "0170000000", "abc");
    EXPECT_EQ(frame,
              std::string("\x02") +
                  "01/00067/O/51/0170000000/0/////////////////3//616263/////////////61\x03");
}

TEST(SmsFrames, EmiLengthCountsEveryCharacterBetweenStxAndEtx) {
    std::string frame = emi::SubmitFrame("0", "0170000000", std::string(160, 'x'));
    char length[8];
    std::snprintf(length, sizeof length, "%05zu", frame.size() - 2);
    EXPECT_EQ(frame.substr(4, 5), length);
    std::string body = frame.substr(1, frame.size() - 4);
    EXPECT_EQ(frame.substr(frame.size() - 3, 2), emi::Checksum(body));
    EXPECT_GT(frame.size(), 256u);  // a long text does not fit a 256-byte frame
}

TEST(SmsText, GermanLettersFollowEachProtocolsMapAndOthersBecomeDots) {
    EXPECT_EQ(MapSmsText(SmsProtocol::Tap, "Ü"), "\x5E");
    EXPECT_EQ(MapSmsText(SmsProtocol::Emi, "Ü"), "\x5D");
    EXPECT_NE(emi::SubmitFrame("0", "1", MapSmsText(SmsProtocol::Emi, "Ü")).find("/5D/"),
              std::string::npos);
    EXPECT_EQ(MapSmsText(SmsProtocol::Tap, "§ÄÖÜßäöü"), "\x24\x5B\x5C\x5E\x1E\x7B\x7C\x7E");
    EXPECT_EQ(MapSmsText(SmsProtocol::Emi, "§ÄÖÜßäöü"), "\x5E\x5B\x5C\x5D\x7E\x7B\x7C\x7D");
    // "€" is 0x80 in Windows-1252 and named by neither map; "é" neither.
    EXPECT_EQ(MapSmsText(SmsProtocol::Tap, "5 € é"), "5 . .");
    EXPECT_EQ(MapSmsText(SmsProtocol::Emi, "5 € é"), "5 . .");
    // A character Windows-1252 lacks is "?" on the way there.
    EXPECT_EQ(MapSmsText(SmsProtocol::Tap, "ł"), "?");
}

TEST(SmsText, TapDropsCarriageReturnsAndEmiKeepsThem) {
    EXPECT_EQ(MapSmsText(SmsProtocol::Tap, "a\r\nb"), "a\nb");
    EXPECT_EQ(MapSmsText(SmsProtocol::Emi, "a\r\nb"), "a\r\nb");
}

TEST(SmsFrames, EmiReplyIsJudgedByItsAcknowledgementAndGivesTheTwoFieldsAfterIt) {
    std::string negative = std::string("\x02") + "01/00022/R/51/N/02/ERR/" + "F3\x03";
    emi::Reply r = emi::ReadReply(negative);
    EXPECT_TRUE(r.isResult);
    EXPECT_FALSE(r.accepted);
    EXPECT_EQ(r.fields, "02/ERR/");

    std::string positive = negative;
    positive[15] = 'A';
    EXPECT_TRUE(emi::ReadReply(positive).accepted);

    EXPECT_FALSE(emi::ReadReply(std::string("\x02") + "01/00022").isResult);
    EXPECT_FALSE(emi::ReadReply(std::string("\x02") + "01/00022/O/51/A//").isResult);
    EXPECT_FALSE(emi::ReadReply(std::string("\x02") + "01/00022/R/52/A//").isResult);
    // The fields end where the reply ends.
    EXPECT_EQ(emi::ReadReply(std::string("\x02") + "01/00022/R/51/N/02/ERR").fields, "02/ERR");
}

TEST(SmsFrames, TapReplyTextLeavesOutControlCharacters) {
    EXPECT_EQ(tap::ReplyText("\r510 Message rejected\r\x15\r"), "510 Message rejected");
    EXPECT_EQ(tap::ReplyText(std::string("\x00\x7F ok", 5)), " ok");
}

}  // namespace
