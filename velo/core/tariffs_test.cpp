#include "tariffs.h"

#include <gtest/gtest.h>

#include "test_dir.h"

namespace {

// A local moment in the week of Monday 13 May 2024.
std::time_t At(int dayOfMay, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = 2024 - 1900;
    tm.tm_mon = 4;
    tm.tm_mday = dayOfMay;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}
constexpr int kMonday = 13, kWednesday = 15, kSaturday = 18, kSunday = 19;

class TariffFile : public testing::Test {
protected:
    void Write(const std::string& text) { dir_.Put("Telvora.cfg", text); }
    std::string Prefix(const std::string& plan, std::time_t when) {
        return tariff::PrefixAt(file_, plan, when);
    }

    TestDir dir_;
    SettingsFile file_{dir_.File("Telvora.cfg")};
};

constexpr const char* kProviders =
    "[CallByCallProviders]\nItems=2\nitem-001=1|CBCP_01|Arcor|01070\n"
    "item-002=2|CBCP_02|Tele2|01013\n";

TEST_F(TariffFile, WorkingHoursGiveThePrefixOnlyWithinThem) {
    Write(std::string(kProviders) + "[CBCT_01]\nItems=1\nitem-001=1|1|0|4|8|17|CBCP_02\n");
    struct Case {
        int day, hour, minute;
        const char* prefix;
    } cases[] = {
        {kWednesday, 12, 30, "01013"}, {kSaturday, 12, 30, ""}, {kWednesday, 18, 5, ""},
        {kWednesday, 17, 59, "01013"}, {kWednesday, 7, 59, ""}, {kMonday, 8, 0, "01013"},
        {kSunday, 12, 30, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Prefix("CBCT_01", At(c.day, c.hour, c.minute)), c.prefix)
            << c.day << " " << c.hour << ":" << c.minute;
}

TEST_F(TariffFile, SundayIsTheLastDayOfTheWeek) {
    Write(std::string(kProviders) + "[CBCT_01]\nItems=1\nitem-001=1|1|5|6|0|23|CBCP_01\n");
    EXPECT_EQ(Prefix("CBCT_01", At(kSunday, 23, 30)), "01070");
    EXPECT_EQ(Prefix("CBCT_01", At(kSaturday, 0, 0)), "01070");
    EXPECT_EQ(Prefix("CBCT_01", At(kMonday, 0, 30)), "");
}

TEST_F(TariffFile, AWholeWeekEntryAlwaysApplies) {
    Write(std::string(kProviders) + "[CBCT_01]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_01\n");
    for (int day = kMonday; day <= kSunday; ++day) {
        for (int hour = 0; hour < 24; ++hour)
            EXPECT_EQ(Prefix("CBCT_01", At(day, hour, 45)), "01070") << day << " " << hour;
    }
}

TEST_F(TariffFile, EachEntryOfAPlanNamesItsOwnProvider) {
    Write(std::string(kProviders) +
          "[CBCT_03]\nItems=2\nitem-001=1|1|0|4|0|17|CBCP_01\nitem-002=2|2|0|4|18|23|CBCP_02\n");
    EXPECT_EQ(Prefix("CBCT_03", At(kWednesday, 9, 0)), "01070");
    EXPECT_EQ(Prefix("CBCT_03", At(kWednesday, 21, 0)), "01013");
}

TEST_F(TariffFile, EveryLookupFailureDialsWithoutPrefix) {
    Write(std::string(kProviders) +
          "[CBCT_01]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_07\n"
          "[CBCT_02]\nItems=0\n");
    std::time_t now = At(kWednesday, 12, 0);
    EXPECT_EQ(Prefix("", now), "");         // "Kein"
    EXPECT_EQ(Prefix("CBCT_02", now), "");  // a plan without entries
    EXPECT_EQ(Prefix("CBCT_09", now), "");  // a plan that is gone
    EXPECT_EQ(Prefix("CBCT_01", now), "");  // its provider is gone
    EXPECT_EQ(tariff::ProviderPrefix(file_, "CBCP_02"), "01013");
    EXPECT_EQ(tariff::ProviderPrefix(file_, ""), "");
}

TEST_F(TariffFile, TheFileIsReadAnewForEveryLookup) {
    Write(std::string(kProviders) + "[CBCT_01]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_01\n");
    EXPECT_EQ(Prefix("CBCT_01", At(kMonday, 1, 0)), "01070");
    ASSERT_TRUE(file_.WriteText("CallByCallProviders", "item-001", "1|CBCP_01|Arcor|01088"));
    EXPECT_EQ(Prefix("CBCT_01", At(kMonday, 1, 0)), "01088");
}

TEST(TariffKeys, NextKeysCountOnFromTheLargest) {
    ItemList providers(3), plans(2), entries(6);
    EXPECT_EQ(tariff::NextProviderKey(providers), "CBCP_01");
    EXPECT_EQ(tariff::NextPlanKey(plans), "CBCT_01");
    EXPECT_EQ(tariff::NextEntryNumber(entries), "1");

    for (const char* key : {"CBCP_03", "CBCP_01"}) providers.Add().fields[0] = key;
    for (const char* key : {"CBCT_02", "CBCT_09"}) plans.Add().fields[1] = key;
    for (const char* number : {"4", "12", "7"}) entries.Add().fields[0] = number;
    EXPECT_EQ(tariff::NextProviderKey(providers), "CBCP_04");
    EXPECT_EQ(tariff::NextPlanKey(plans), "CBCT_10");
    EXPECT_EQ(tariff::NextEntryNumber(entries), "13");
}

TEST(TariffKeys, KeysStayUniqueBeyondNinetyNineProviders) {
    ItemList providers(3);
    for (int i = 1; i <= 99; ++i) {
        std::string key = tariff::NextProviderKey(providers);
        providers.Add().fields[0] = key;
    }
    EXPECT_EQ(providers.Items().back().fields[0], "CBCP_99");
    EXPECT_EQ(tariff::NextProviderKey(providers), "CBCP_100");
    providers.Add().fields[0] = "CBCP_100";
    EXPECT_EQ(tariff::NextProviderKey(providers), "CBCP_101");
}

// Keys and numbers written by hand may be as large as they like: the next
// one is still a number of its own, never a wrapped or a used one.
TEST(TariffKeys, KeysAndNumbersAfterTheLargestThereIsStayUnique) {
    ItemList providers(3), entries(6);
    providers.Add().fields[0] = "CBCP_2147483647";
    entries.Add().fields[0] = "2147483647";
    EXPECT_EQ(tariff::NextProviderKey(providers), "CBCP_2147483648");
    EXPECT_EQ(tariff::NextEntryNumber(entries), "2147483648");

    for (const char* key : {"CBCP_99999999999999999999999", "CBCP_01", "CBCP_02"})
        providers.Add().fields[0] = key;
    for (const char* number : {"99999999999999999999999", "1"}) entries.Add().fields[0] = number;
    EXPECT_EQ(tariff::NextProviderKey(providers), "CBCP_03");
    EXPECT_EQ(tariff::NextEntryNumber(entries), "2");
}

}  // namespace
