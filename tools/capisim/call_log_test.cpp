#include "call_log.h"

#include <gtest/gtest.h>

#include <fstream>

namespace capisim {
namespace {

CallRecord Sample() {
    CallRecord r;
    r.start = std::chrono::system_clock::from_time_t(1700000000) + std::chrono::milliseconds(42);
    r.callingLine = "A";
    r.callingNumber = "5551001";
    r.dialled = "0010135552001";
    r.outsidePrefix = "0";
    r.carrierPrefix = "01013";
    r.calledNumber = "5552001";
    r.calledLine = "B";
    r.cip = 2;
    r.outcome = "answered";
    r.reason = 0x3490;
    r.clearedBy = "caller";
    r.duration = 1.5;
    r.bytesToCalled = 300;
    r.bytesToCaller = 7;
    return r;
}

TEST(CallLog, OneJsonObjectPerCall) {
    EXPECT_EQ(JsonLine(Sample()),
              "{\"time\":\"2023-11-14T22:13:20.042Z\",\"calling_line\":\"A\","
              "\"calling_number\":\"5551001\",\"dialled\":\"0010135552001\","
              "\"outside_prefix\":\"0\",\"carrier_prefix\":\"01013\","
              "\"called_number\":\"5552001\",\"called_line\":\"B\",\"cip\":2,"
              "\"outcome\":\"answered\",\"reason\":\"0x3490\",\"cleared_by\":\"caller\","
              "\"duration\":1.500,\"bytes_to_called\":300,\"bytes_to_caller\":7}");
}

TEST(CallLog, MissingLinesAreNullAndTextIsEscaped) {
    CallRecord r = Sample();
    r.callingLine.clear();
    r.calledLine.clear();
    r.callingNumber = "1\"2\\3\n";
    std::string line = JsonLine(r);
    EXPECT_NE(line.find("\"calling_line\":null"), std::string::npos);
    EXPECT_NE(line.find("\"called_line\":null"), std::string::npos);
    EXPECT_NE(line.find("\"calling_number\":\"1\\\"2\\\\3\\u000a\""), std::string::npos);
}

TEST(CallLog, AppendsLines) {
    std::string path = testing::TempDir() + "/capisim_call_log_test.jsonl";
    std::remove(path.c_str());
    {
        CallLog log;
        ASSERT_TRUE(log.Open(path));
        log.Write(Sample());
    }
    {
        CallLog log;
        ASSERT_TRUE(log.Open(path));
        log.Write(Sample());
    }
    std::ifstream in(path);
    int lines = 0;
    for (std::string line; std::getline(in, line);) {
        EXPECT_EQ(line, JsonLine(Sample()));
        ++lines;
    }
    EXPECT_EQ(lines, 2);
    CallLog nowhere;
    EXPECT_FALSE(nowhere.Open("/nonexistent-dir/x.jsonl"));
}

}  // namespace
}  // namespace capisim
