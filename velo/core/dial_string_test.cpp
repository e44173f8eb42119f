#include "dial_string.h"

#include <gtest/gtest.h>

#include "test_dir.h"

namespace {

TEST(DialString, OutsideLineThenCallByCallThenDigits) {
    TestDir dir;
    SettingsFile settings(dir.File("Telvora.cfg"));
    dir.Put("Telvora.cfg",
            "[CallByCallProviders]\nItems=1\nitem-001=1|CBCP_01|Tele2|01013\n"
            "[CBCT_01]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_01\n");
    std::time_t now = 1700000000;
    EXPECT_EQ(DialString(settings, "CBCT_01", "030/123 45-67", now), "010130301234567");
    EXPECT_EQ(DialString(settings, "", "030/123 45-67", now), "0301234567");
    ASSERT_TRUE(settings.Write(cfg::kIsdnPrefix, "0"));
    EXPECT_EQ(DialString(settings, "CBCT_01", "030/123 45-67", now), "0010130301234567");
    // "+" is the international prefix, not nothing.
    EXPECT_EQ(DialString(settings, "CBCT_02", " +49 30 1234567", now), "00049301234567");
}

TEST(DialString, OnlyNumbersAsPeopleWriteThemAreDialled) {
    for (const char* good : {"030/123 45-67", "+49 (30) 1234567", " 0221 4711"}) {
        EXPECT_TRUE(IsDiallableNumber(good)) << good;
    }
    for (const char* bad : {"030-abc-222", "", "  ", "+", "-/()", "030+1", "0301\x1B", "0.30"}) {
        EXPECT_FALSE(IsDiallableNumber(bad)) << bad;
    }
}

}  // namespace
