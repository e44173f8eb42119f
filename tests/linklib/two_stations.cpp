#include "two_stations.h"

void TwoStations::SetUp() {
    constexpr std::uint8_t kListen = 0x05, kConf = 0x81;
    ASSERT_TRUE(exchange.Ready());
    b = std::make_unique<Station>(dir.Path(), "b", wireB.Port());
    a = std::make_unique<Station>(dir.Path(), "a", wireA.Port());
    for (Station* s : {b.get(), a.get()}) {
        ASSERT_EQ(s->Run("init"), "init 1");
        ASSERT_EQ(s->Run("new"), "new 1");
    }
    ASSERT_EQ(b->Run("server -"), "server 0");
    // A call placed before the exchange took the listen request finds no one.
    ASSERT_EQ(wireB.WaitFor(kListen, kConf, 1, 5s).size(), 1u);
}

void TwoStations::Call() {
    std::string connect = a->Run("connect 222 111 100");
    ASSERT_EQ(Field(connect, 1), "0") << connect;
    ASSERT_EQ(b->Run("waitconn 50"), "waitconn 1");
    ASSERT_EQ(a->Run("state"), "state 1");
}
