#include "smtp_reply.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(SmtpReplyBufferTest, RepliesAreReassembledFromPiecesAndTakenOneByOne) {
    SmtpReplyBuffer buffer;
    buffer.Append("250-mail.example.de\r\n25");
    EXPECT_FALSE(buffer.TakeReply());
    buffer.Append("0-SIZE 1000\r\n250 AUTH PLAIN");
    EXPECT_FALSE(buffer.TakeReply());
    buffer.Append(" LOGIN\r\n221 Bye\r\n");

    auto ehlo = buffer.TakeReply();
    ASSERT_TRUE(ehlo);
    EXPECT_EQ(ehlo->code, 250);
    EXPECT_EQ(ehlo->lines, (std::vector<std::string>{"250-mail.example.de", "250-SIZE 1000",
                                                     "250 AUTH PLAIN LOGIN"}));
    EXPECT_EQ(ehlo->LastLine(), "250 AUTH PLAIN LOGIN");
    EXPECT_EQ(ehlo->Texts(),
              (std::vector<std::string>{"mail.example.de", "SIZE 1000", "AUTH PLAIN LOGIN"}));

    auto bye = buffer.TakeReply();
    ASSERT_TRUE(bye);
    EXPECT_EQ(bye->code, 221);
    EXPECT_EQ(bye->lines.size(), 1u);
    EXPECT_FALSE(buffer.TakeReply());
}

TEST(SmtpReplyBufferTest, TheLastLineEndsTheReplyAndGivesItsCode) {
    struct Case {
        const char* bytes;
        int code;
        const char* last;
    } cases[] = {
        {"220\r\n", 220, "220"},                              // a code alone
        {"220-a\n220-b\n554 go away\n", 554, "554 go away"},  // bare line feeds
        {"hello there\r\n", 0, "hello there"},                // no code: ends, matches nothing
        {"25-x\r\n", 0, "25-x"},                              // two digits are no code
    };
    for (const Case& c : cases) {
        SmtpReplyBuffer buffer;
        buffer.Append(c.bytes);
        auto reply = buffer.TakeReply();
        ASSERT_TRUE(reply) << c.bytes;
        EXPECT_EQ(reply->code, c.code) << c.bytes;
        EXPECT_EQ(reply->LastLine(), c.last) << c.bytes;
    }
}

TEST(SmtpReplyBufferTest, AnEndlessReplyIsTooLongAndClearedAway) {
    SmtpReplyBuffer buffer;
    std::string line = "250-" + std::string(60, 'x') + "\r\n";
    while (!buffer.TooLong()) {
        buffer.Append(line);
        ASSERT_FALSE(buffer.TakeReply());
    }
    EXPECT_GT(buffer.PendingText().size(), SmtpReplyBuffer::kMaxReplyBytes / 2);
    EXPECT_EQ(buffer.PendingText().find('\r'), std::string::npos);
    buffer.Clear();
    EXPECT_FALSE(buffer.TooLong());
    buffer.Append("220 ok\r\n");
    EXPECT_EQ(buffer.TakeReply()->code, 220);
}

// A server that sends a reply of many short lines a byte at a time: each
// piece used to make the buffer read every line again, 64 KB took most of
// a minute.
TEST(SmtpReplyBufferTest, AReplyOfManyLinesTricklingInIsReadOnce) {
    std::string bytes;
    while (bytes.size() < SmtpReplyBuffer::kMaxReplyBytes - 16) bytes += "250-\r\n";
    bytes += "250 OK\r\n";
    auto start = std::chrono::steady_clock::now();
    SmtpReplyBuffer buffer;
    std::optional<SmtpReply> reply;
    for (char c : bytes) {
        ASSERT_FALSE(reply) << "the reply came before its last line";
        buffer.Append(std::string_view(&c, 1));
        reply = buffer.TakeReply();
    }
    auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->code, 250);
    EXPECT_EQ(reply->lines.size(), (bytes.size() - 8) / 6 + 1);
    EXPECT_EQ(reply->LastLine(), "250 OK");
    EXPECT_LT(took, std::chrono::seconds(2));
}

}  // namespace
