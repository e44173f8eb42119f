#include "sms_log.h"

#include <gtest/gtest.h>

#include <fstream>

namespace capisim {
namespace {

SmsRecord AcceptedTapMessage() {
    SmsRecord r;
    r.time = std::chrono::system_clock::from_time_t(1796651100) + std::chrono::milliseconds(123);
    r.centre = "5558001";
    r.protocol = "tap";
    r.callingNumber = "02211111";
    r.recipient = "0170000000";
    r.text = "abc";
    return r;
}

TEST(SmsLog, OneJsonObjectPerAcceptedMessageWithItsTextEscaped) {
    SmsRecord r = AcceptedTapMessage();
    EXPECT_EQ(SmsJsonLine(r),
              "{\"time\":\"2026-12-07T13:45:00.123Z\",\"centre\":\"5558001\",\"protocol\":\"tap\","
              "\"calling_number\":\"02211111\",\"originator\":\"\",\"recipient\":\"0170000000\","
              "\"text\":\"abc\"}");
    r.originator = "Tel\"vora\\";
    r.text = "Grüße\r\nKöln\t§\x01";
    std::string line = SmsJsonLine(r);
    EXPECT_NE(line.find("\"originator\":\"Tel\\\"vora\\\\\""), std::string::npos) << line;
    EXPECT_NE(line.find("\"text\":\"Grüße\\u000d\\u000aKöln\\u0009§\\u0001\""), std::string::npos)
        << line;
}

TEST(SmsLog, AppendsAndFlushesEachLine) {
    std::string path = testing::TempDir() + "/capisim_sms_log_test.jsonl";
    std::remove(path.c_str());
    SmsLog first;
    SmsLog second;
    ASSERT_TRUE(first.Open(path));
    ASSERT_TRUE(second.Open(path));
    first.Write(AcceptedTapMessage());
    second.Write(AcceptedTapMessage());
    // Both still open: what is there was flushed by each write.
    std::ifstream in(path);
    int lines = 0;
    for (std::string line; std::getline(in, line);) {
        EXPECT_EQ(line, SmsJsonLine(AcceptedTapMessage()));
        ++lines;
    }
    EXPECT_EQ(lines, 2);
    SmsLog nowhere;
    EXPECT_FALSE(nowhere.Open("/nonexistent-dir/sms.jsonl"));
}

}  // namespace
}  // namespace capisim
