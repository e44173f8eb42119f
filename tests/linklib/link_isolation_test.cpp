// Nothing of one call reaches another, and what cannot be sent or stored is
// refused rather than half done.
#include <gtest/gtest.h>

#include "link_test_support.h"
#include "test_dir.h"
#include "two_stations.h"

namespace {

class LinkIsolation : public TwoStations {
protected:
    LinkIsolation() : TwoStations(FastLine()) {}
};

// A NOTE request of one frame: number, name, subject, text.
std::string NoteFrameHex() {
    const std::string args = "030|Anna|Betreff|Text";
    std::string request = "10000000";
    char length[9];
    std::snprintf(length, sizeof length, "%02X000000", static_cast<unsigned>(args.size()));
    request += length;
    for (unsigned char c : args) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", c);
        request += hex;
    }
    char frameLen[9];
    std::snprintf(frameLen, sizeof frameLen, "%02X000000",
                  static_cast<unsigned>(request.size() / 2));
    return "01000000" + std::string(frameLen) + request;
}

// The whole request lies at b when the line drops, but its acknowledgement
// can no longer go: the sender has given up, so no command may take it.
TEST_F(LinkIsolation, AFrameThatCameBeforeTheDropCannotBeAcknowledged) {
    Call();
    EXPECT_EQ(a->Run("raw-send " + NoteFrameHex()), "raw-send 0");
    EXPECT_EQ(Field(a->Run("disconnect 50"), 1), "0");
    EXPECT_EQ(b->Run("waitdisc 50"), "waitdisc 0");
    EXPECT_EQ(Field(b->Run("msg-get 4096"), 1), "18") << "ACK konnte nicht gesendet werden";
}

TEST_F(LinkIsolation, AStrayBlockOfOneCallerDoesNotReachTheNext) {
    Call();
    EXPECT_EQ(a->Run("raw-send 0203"), "raw-send 0");
    EXPECT_EQ(Field(a->Run("disconnect 50"), 1), "0");
    EXPECT_EQ(b->Run("waitdisc 50"), "waitdisc 0");
    Call();
    b->Post("waitreqid");
    EXPECT_EQ(Field(a->Run("reqid"), 1), "0");
    EXPECT_EQ(b->Answer(), "waitreqid 0") << "b heard the new caller, not the old block";
}

// The owner destroys its object on a call and dials another station at once
// with a new one: the old call's clearing must not end the new call.
TEST(LinkIsolationOfCalls, ANewObjectCallsAtOnceAfterTheOldOneIsDestroyed) {
    TestDir dir;
    Exchange exchange(dir.Path(), {"A:0:111", "B:0:222", "C:0:333"},
                      {"--rate", "1000000", "--delay", "2"});
    ASSERT_TRUE(exchange.Ready());
    Station a(dir.Path(), "a", exchange.Port("A"));
    Station b(dir.Path(), "b", exchange.Port("B"));
    Station c(dir.Path(), "c", exchange.Port("C"));
    for (Station* s : {&a, &b, &c}) {
        ASSERT_EQ(s->Run("init"), "init 1");
        ASSERT_EQ(s->Run("new"), "new 1");
    }
    for (Station* s : {&b, &c}) ASSERT_EQ(s->Run("server -"), "server 0");
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(Field(a.Run("connect 222 111 100"), 1), "0");
        ASSERT_EQ(b.Run("waitconn 50"), "waitconn 1");
        EXPECT_EQ(a.Run("delete"), "delete");
        EXPECT_EQ(a.Run("new"), "new 1");
        std::string connect = a.Run("connect 333 111 100");
        ASSERT_EQ(Field(connect, 1), "0") << connect;
        EXPECT_EQ(c.Run("waitconn 50"), "waitconn 1");
        c.Post("waitreqid");
        EXPECT_EQ(Field(a.Run("reqid"), 1), "0");
        EXPECT_EQ(c.Answer(), "waitreqid 0");
        EXPECT_EQ(b.Run("waitdisc 50"), "waitdisc 0") << "the old call is cleared at b";
        EXPECT_EQ(Field(a.Run("disconnect 50"), 1), "0");
        EXPECT_EQ(c.Run("waitdisc 50"), "waitdisc 0");
    }
}

TEST_F(LinkIsolation, ANumberTooLongForAMessageIsRefusedAtOnce) {
    std::string digits(170, '2');
    std::string connect = a->Run("connect " + digits + " 111 50");
    EXPECT_EQ(Field(connect, 1), "2") << connect;
    EXPECT_LT(std::stol(Field(connect, 2)), 1000);
    EXPECT_NE(a->Log().find("**ConnectReq: numbers too long"), std::string::npos);
    Call();  // the station goes on working
}

}  // namespace
