// What a station sees when the call cannot be made or CAPI is missing.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include <unistd.h>

#include "link_test_support.h"
#include "test_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

// The message boxes a station showed: its standard error without the
// diagnostic lines that libcapi20 itself prints there.
std::string Boxes(const Station& s) {
    std::istringstream in(s.Errors());
    std::string boxes;
    for (std::string line; std::getline(in, line);) {
        if (line.find("CapiDebug") == std::string::npos) boxes += line + "\n";
    }
    return boxes;
}

// Polls the station's disconnect info until it names the expected reason.
std::string WaitForInfo(Station& s, const std::string& expected) {
    auto deadline = Clock::now() + 10s;
    std::string info;
    while (Clock::now() < deadline) {
        info = s.Run("info");
        if (info == expected) break;
        std::this_thread::sleep_for(50ms);
    }
    return info;
}

TEST(LinkFailure, EveryRefusalOfTheExchangeReachesTheCaller) {
    TestDir dir;
    dir.Put("numbers.cfg", "[Numbers]\n333=busy\n555=no-answer\n");
    Exchange exchange(dir.Path(), {"A:0:111", "C:0:444"},
                      {"--config", dir.File("numbers.cfg"), "--ring-time", "0.5"});
    ASSERT_TRUE(exchange.Ready());
    WireRecorder wire(exchange.Port("A"));
    Station a(dir.Path(), "a", wire.Port());
    ASSERT_EQ(a.Run("init"), "init 1");
    ASSERT_EQ(a.Run("new"), "new 1");
    EXPECT_EQ(a.Run("info"), "info 0x0000 ISDN-Fehler #:0x0");

    // A refused call ends the wait: the caller hears "busy" at once rather
    // than after all of its wait steps.
    std::string busy = a.Run("connect 333 111 50");
    EXPECT_EQ(Field(busy, 1), "2") << busy;
    EXPECT_LT(std::stol(Field(busy, 2)), 2500);
    EXPECT_EQ(a.Run("info"), "info 0x3491 Teilnehmer besetzt[#3491]");

    // Calling numbers: an empty one is sent as restricted, none as nothing.
    struct {
        const char* number;
        const char* calling;
        const char* info;
    } cases[] = {
        {"555", "\"\"", "info 0x3492 Teilnehmer antwortet nicht[#3492]"},
        {"444", "-", "info 0x34D8 Gegenstelle nicht kompatibel[#34D8]"},
        {"999", "111", "info 0x3481 Unbekannte Nummer[#3481]"},
    };
    for (const auto& c : cases) {
        std::string connect = std::string("connect ") + c.number + " " + c.calling + " 0";
        EXPECT_EQ(Field(a.Run(connect), 1), "2");
        EXPECT_EQ(WaitForInfo(a, c.info), c.info) << c.number;
        EXPECT_EQ(a.Run("state"), "state 0");
    }
    // Reasons the table lacks are named by their number.
    EXPECT_EQ(a.Run("disc-ind 1104"), "disc-ind 1");
    EXPECT_EQ(a.Run("info"), "info 0x1104 ISDN-Fehler #:0x1104");
    EXPECT_EQ(Field(a.Run("exit"), 1), "1");
    EXPECT_EQ(a.Quit(), 0);

    auto calls = exchange.CallLog(4, 5s);
    ASSERT_EQ(calls.size(), 4u);
    const char* reasons[] = {"0x3491", "0x3492", "0x34D8", "0x3481"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(calls[i]["reason"], reasons[i]) << calls[i]["dialled"];
    }
    EXPECT_EQ(Boxes(a), "") << "no message box on a working line";

    // Called party 0x80 + digits, then the calling party structure.
    const std::vector<std::vector<std::uint8_t>> numbers = {
        {4, 0x80, '3', '3', '3', 5, 0x00, 0x80, '1', '1', '1'},
        {4, 0x80, '5', '5', '5', 2, 0x00, 0xA0},
        {4, 0x80, '4', '4', '4', 0},
        {4, 0x80, '9', '9', '9', 5, 0x00, 0x80, '1', '1', '1'},
    };
    auto requests = wire.WaitFor(0x02, 0x80, 4, 5s);
    ASSERT_EQ(requests.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& body = requests[i].body;
        ASSERT_GE(body.size(), 14 + numbers[i].size()) << i;
        EXPECT_EQ(requests[i].Word(12), 2) << "CIP";
        EXPECT_EQ(
            std::vector<std::uint8_t>(body.begin() + 14, body.begin() + 14 + numbers[i].size()),
            numbers[i])
            << i;
    }
}

TEST(LinkFailure, WithoutTheCapiLibraryOneBoxAndConnectsFail) {
    TestDir dir;
    Station a(dir.Path(), "a", 0, {{"TELVORA_CAPI_LIBRARY", "/nonexistent/libcapi20.so.3"}});
    ASSERT_EQ(a.Run("init"), "init 1");
    ASSERT_EQ(a.Run("new"), "new 1");
    std::string connect = a.Run("connect 222 111 5");
    EXPECT_EQ(Field(connect, 1), "2");
    EXPECT_GE(std::stol(Field(connect, 2)), 450);
    EXPECT_EQ(a.Run("server -"), "server 65534");
    std::string exit = a.Run("exit");
    EXPECT_EQ(Field(exit, 1), "1");
    EXPECT_LT(std::stol(Field(exit, 2)), 1000);
    EXPECT_EQ(a.Quit(), 0);
    EXPECT_EQ(Boxes(a),
              "Strand: Fatal Error: /nonexistent/libcapi20.so.3 not loaded. Code 0: Kein Speicher "
              "mehr oder ungültige Datei\n");
}

TEST(LinkFailure, WithoutTheExchangeCapiIsNotInstalled) {
    TestDir dir;
    Station a(dir.Path(), "a", 0);
    ASSERT_EQ(a.Run("init"), "init 1");
    ASSERT_EQ(a.Run("new"), "new 1");
    EXPECT_EQ(Field(a.Run("connect 222 111 2"), 1), "2");
    EXPECT_EQ(Field(a.Run("exit"), 1), "1");
    EXPECT_EQ(a.Quit(), 0);
    EXPECT_EQ(Boxes(a), "Fataler Fehler: Die ISDN-CAPI-Schnittstelle ist nicht installiert\n");
    std::string log = a.Log();
    EXPECT_NE(log.find(":++CorvaneInit()\n"), std::string::npos);
    EXPECT_NE(log.find(":--CorvaneExit()\n"), std::string::npos);
}

TEST(LinkFailure, LibraryLoadedButNeverStartedEndsCleanly) {
    TestDir dir;
    Station a(dir.Path(), "a", 0);
    EXPECT_EQ(a.Run("new"), "new 1");
    EXPECT_EQ(Field(a.Run("connect 222 111 0"), 1), "2");
    EXPECT_EQ(a.Run("delete"), "delete");
    EXPECT_EQ(Field(a.Run("exit"), 1), "1");
    EXPECT_EQ(a.Quit(), 0);
    std::string log = a.Log();
    EXPECT_NE(log.find(":++DllMain\n"), std::string::npos);
    EXPECT_NE(log.find(":--DllMain\n"), std::string::npos);
    EXPECT_EQ(Boxes(a), "");
}

}  // namespace

namespace {

TEST(LinkFailure, RefusedRegistrationShowsItsBox) {
    TestDir dir;
    Station a(dir.Path(), "a", 0,
              {{"TELVORA_CAPI_LIBRARY", FAKE_CAPI_PATH}, {"FAKE_CAPI_MODE", "refuse"}});
    ASSERT_EQ(a.Run("init"), "init 1");
    ASSERT_EQ(a.Run("new"), "new 1");
    EXPECT_EQ(Field(a.Run("connect 222 111 1"), 1), "2");
    EXPECT_EQ(Field(a.Run("exit"), 1), "1");
    EXPECT_EQ(a.Quit(), 0);
    // The text ends in a line feed of its own.
    EXPECT_EQ(Boxes(a), "Strand: Fataler Fehler: CAPI-Registrierung ist gescheitert (4099)\n\n");
}

TEST(LinkFailure, DriverWithoutAnEntryPointIsUnusableWithoutABox) {
    TestDir dir;
    Station a(dir.Path(), "a", 0, {{"TELVORA_CAPI_LIBRARY", FAKE_CAPI_PARTIAL_PATH}});
    ASSERT_EQ(a.Run("init"), "init 1");
    ASSERT_EQ(a.Run("new"), "new 1");
    EXPECT_EQ(a.Run("server -"), "server 65534");
    EXPECT_EQ(Field(a.Run("exit"), 1), "1");
    EXPECT_EQ(a.Quit(), 0);
    EXPECT_EQ(Boxes(a), "");
}

// The 10 s limit of the exit is what this test is about.
TEST(LinkFailure, ExitGivesUpOnABlockedDispatchThreadAfterTenSeconds) {
    TestDir dir;
    std::string mark = dir.File("blocked");
    Station a(dir.Path(), "a", 0,
              {{"TELVORA_CAPI_LIBRARY", FAKE_CAPI_PATH},
               {"FAKE_CAPI_MODE", "block"},
               {"FAKE_CAPI_MARK", mark}});
    ASSERT_EQ(a.Run("init"), "init 1");
    ASSERT_EQ(a.Run("new"), "new 1");
    auto deadline = Clock::now() + 5s;
    while (access(mark.c_str(), F_OK) != 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(access(mark.c_str(), F_OK), 0) << "the dispatch thread never asked for a message";
    std::string exit = a.Run("exit", 20s);
    EXPECT_EQ(Field(exit, 1), "1");
    long took = std::stol(Field(exit, 2));
    EXPECT_GE(took, 9900);
    EXPECT_LT(took, 11000);
    // No line after the exit: the call fails at once (a loaded machine may
    // take a few milliseconds to say so).
    std::string connect = a.Run("connect 222 111 0");
    EXPECT_EQ(Field(connect, 1), "2") << connect;
    EXPECT_LT(std::stol(Field(connect, 2)), 100) << connect;
    EXPECT_EQ(a.Quit(), 0);
    std::string log = a.Log();
    EXPECT_NE(log.find(":  CorvaneExit(): nach WaitForSingleObject nach TIMEOUT\n"),
              std::string::npos);
    EXPECT_NE(log.find(":--CorvaneExit()\n"), std::string::npos);
    EXPECT_EQ(log.find(":  CorvaneExit: vor delete pCorvane\n"), std::string::npos);
}

}  // namespace

namespace {

TEST(LinkFrame, ConfigurationComesFromTheInstallationAndTheLogGoesToTheCurrentFolder) {
    TestDir dir;
    dir.Put("Telvora.cfg", "[Parameters]\ndebug=1\n");
    // The working folder's own Telvora.cfg switches the log off; it must not count.
    Station a(dir.Path(), "work", 0, {{"TELVORA_HOME", dir.Path()}}, false);
    EXPECT_EQ(a.Run("new"), "new 1");
    EXPECT_EQ(a.Quit(), 0);
    std::string log = a.Log();
    EXPECT_NE(log.find(":++DllMain\n"), std::string::npos);
    EXPECT_NE(log.find(":++CRComLink::CRComLink\n"), std::string::npos);
    EXPECT_NE(log.find(":--DllMain\n"), std::string::npos);
    EXPECT_EQ(dir.Get("Velo.log"), "");
}

}  // namespace
