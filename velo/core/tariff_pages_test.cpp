#include "tariff_pages.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "msgbox_recorder.h"
#include "test_dir.h"

namespace {

using tariff::EntryRanges;
using tariff::RangeList;

std::time_t WednesdayNoon() {
    std::tm tm{};
    tm.tm_year = 2024 - 1900;
    tm.tm_mon = 4;
    tm.tm_mday = 15;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

class TariffPages : public testing::Test {
protected:
    void SetUp() override {
        dir_.Put("Telvora.cfg",
                 "[CallByCallProviders]\nItems=2\nitem-001=1|CBCP_01|Arcor|01070\n"
                 "item-002=2|CBCP_02|Tele2|01013\n"
                 "[CallByCallTariffPlan]\nItems=1\nitem-001=1|Werktags|CBCT_01\n"
                 "[CBCT_01]\nItems=1\nitem-001=1|1|0|4|8|17|CBCP_02\n");
        providers_.Load(file_);
        plans_.Load(file_);
    }
    std::string PrefixNow() { return tariff::PrefixAt(file_, "CBCT_01", WednesdayNoon()); }

    TestDir dir_;
    SettingsFile file_{dir_.File("Telvora.cfg")};
    tariff::ProviderPage providers_;
    tariff::TariffPlanPage plans_;
    MessageBoxRecorder boxes_;
};

TEST_F(TariffPages, AnEntryBesideWorkingHoursMustNotShareAnHour) {
    EXPECT_FALSE(plans_.StoreEntry("CBCT_01", "", EntryRanges{0, 0, 17, 20}, "Arcor"));
    EXPECT_EQ(boxes_.Texts(),
              std::vector<std::string>{"Tariff überschneidet sich mit den anderen!"});
    EXPECT_EQ(plans_.Entries("CBCT_01")->Items().size(), 1u);

    EXPECT_TRUE(plans_.StoreEntry("CBCT_01", "", EntryRanges{0, 0, 18, 20}, "Arcor"));
    EXPECT_EQ(boxes_.Count(), 1u);
    ASSERT_TRUE(plans_.Save(file_));
    EXPECT_EQ(file_.ReadText("CBCT_01", "item-002"), "2|2|0|0|18|20|CBCP_01");
    EXPECT_EQ(file_.ReadInt("CBCT_01", "Items", 0), 2);
}

TEST_F(TariffPages, OverlapCasesOfTheEntryDialog) {
    struct Case {
        const char* number;
        EntryRanges ranges;
        bool stored;
    } cases[] = {
        {"1", {0, 4, 7, 18}, true},   // the entry itself may grow
        {"", {4, 6, 0, 7}, false},    // hour 7 on Friday is the first entry's now
        {"", {4, 6, 0, 6}, true},     // Friday to Sunday before 07:00
        {"", {5, 6, 0, 23}, false},   // the weekend meets the early hours above
        {"", {6, 6, 8, 23}, true},    // Sunday from 08:00 is still free
        {"", {0, 0, 18, 18}, false},  // Monday 18:00 is the first entry's now
        {"9", {0, 5, 23, 23}, true},  // a given number is kept
        {"", {0, 6, 23, 23}, false},  // Sunday 23:00 is taken
    };
    for (const Case& c : cases)
        EXPECT_EQ(plans_.StoreEntry("CBCT_01", c.number, c.ranges, "Tele2"), c.stored)
            << c.number << " " << c.ranges.firstDay << "-" << c.ranges.lastDay << " "
            << c.ranges.firstHour << "-" << c.ranges.lastHour;
    std::vector<std::vector<std::string>> rows;
    for (const ListItem& item : plans_.Entries("CBCT_01")->Items())
        rows.push_back(plans_.Row(item));
    std::vector<std::vector<std::string>> expected{
        {"1", "Mo", "Fr", "07:00", "18:59", "Tele2"},
        {"2", "Fr", "So", "00:00", "06:59", "Tele2"},
        {"3", "So", "So", "08:00", "23:59", "Tele2"},
        {"9", "Mo", "Sa", "23:00", "23:59", "Tele2"},
    };
    EXPECT_EQ(rows, expected);
}

TEST_F(TariffPages, AnEntryNeedsAKnownProviderAndSoundRanges) {
    EXPECT_FALSE(plans_.StoreEntry("CBCT_01", "", EntryRanges{5, 6, 0, 23}, "Unbekannt"));
    EXPECT_FALSE(plans_.StoreEntry("CBCT_01", "", EntryRanges{6, 5, 0, 23}, "Arcor"));
    EXPECT_FALSE(plans_.StoreEntry("CBCT_07", "", EntryRanges{5, 6, 0, 23}, "Arcor"));
    EXPECT_EQ(boxes_.Texts(), (std::vector<std::string>{
                                  "Das Objekt kann nicht ausgewählt werden!", "Falsche Auswahl",
                                  "Das Objekt kann nicht ausgewählt werden!"}));
    EXPECT_EQ(plans_.Entries("CBCT_01")->Items().size(), 1u);
}

TEST_F(TariffPages, ARangeListThatCrossesItsPartnerIsReset) {
    struct Case {
        EntryRanges chosen;
        RangeList changed;
        EntryRanges shown;
    } cases[] = {
        {{4, 2, 0, 23}, RangeList::FirstDay, {0, 2, 0, 23}},
        {{4, 2, 0, 23}, RangeList::LastDay, {4, 6, 0, 23}},
        {{0, 6, 20, 8}, RangeList::FirstHour, {0, 6, 0, 8}},
        {{0, 6, 20, 8}, RangeList::LastHour, {0, 6, 20, 23}},
    };
    for (const Case& c : cases) {
        EntryRanges r = c.chosen;
        EXPECT_FALSE(tariff::CheckRangeChoice(r, c.changed));
        EXPECT_EQ(std::tie(r.firstDay, r.lastDay, r.firstHour, r.lastHour),
                  std::tie(c.shown.firstDay, c.shown.lastDay, c.shown.firstHour, c.shown.lastHour));
    }
    EntryRanges fine{2, 2, 9, 9};
    EXPECT_TRUE(tariff::CheckRangeChoice(fine, RangeList::LastHour));
    EXPECT_EQ(boxes_.Texts(), std::vector<std::string>(4, "Falsche Auswahl"));
    EXPECT_EQ(boxes_.Calls()[0].type & MB_ICONSTOP, static_cast<unsigned>(MB_ICONSTOP));
}

TEST_F(TariffPages, RenamingAProviderKeepsItsKeyAndThePlansWorking) {
    ASSERT_EQ(PrefixNow(), "01013");
    EXPECT_TRUE(providers_.Store(2, "Tele2 Sparvorwahl", "01013"));
    ASSERT_TRUE(providers_.Save(file_));
    EXPECT_EQ(file_.ReadText("CallByCallProviders", "item-002"),
              "2|CBCP_02|Tele2 Sparvorwahl|01013");
    EXPECT_EQ(PrefixNow(), "01013");
}

TEST_F(TariffPages, ProviderAndPlanNamesAreUnique) {
    EXPECT_FALSE(providers_.Store(std::nullopt, "Arcor", "01099"));
    EXPECT_FALSE(providers_.Store(1, "Tele2", "01070"));
    EXPECT_TRUE(providers_.Store(1, "Arcor", "01071"));  // its own name is no conflict
    EXPECT_FALSE(plans_.StorePlan(std::nullopt, "Werktags"));
    EXPECT_EQ(boxes_.Texts(), (std::vector<std::string>{"Provider wurde bereits definiert!",
                                                        "Provider wurde bereits definiert!",
                                                        "Tarifplan wurde bereits definiert!"}));
    for (const auto& call : boxes_.Calls())
        EXPECT_EQ(call.type & MB_ICONSTOP, static_cast<unsigned>(MB_ICONSTOP));

    EXPECT_TRUE(providers_.Store(std::nullopt, "Mobilcom", "01019"));
    ASSERT_TRUE(providers_.Save(file_));
    EXPECT_EQ(file_.ReadText("CallByCallProviders", "item-003"), "3|CBCP_03|Mobilcom|01019");
}

TEST_F(TariffPages, ADeletedProviderLeavesItsSlotWithoutPrefix) {
    boxes_.QueueAnswer(IDNO);
    EXPECT_FALSE(providers_.Remove(2));
    EXPECT_TRUE(providers_.Remove(2));
    EXPECT_EQ(boxes_.Texts(),
              std::vector<std::string>(2, "Möchten Sie den Eintrag für 'Tele2' löschen?"));
    ASSERT_TRUE(providers_.Save(file_));
    EXPECT_EQ(file_.ReadInt("CallByCallProviders", "Items", -1), 1);
    EXPECT_EQ(file_.ReadText("CallByCallProviders", "item-002"), "");
    EXPECT_EQ(PrefixNow(), "");
}

TEST_F(TariffPages, NothingSelectedSaysSo) {
    EXPECT_FALSE(providers_.SelectForEdit(std::nullopt));
    EXPECT_FALSE(plans_.SelectForEdit(std::nullopt));
    EXPECT_FALSE(plans_.SelectEntryForEdit("CBCT_01", 5));
    EXPECT_FALSE(providers_.Remove(std::nullopt));
    EXPECT_FALSE(providers_.Remove(42));
    EXPECT_EQ(boxes_.Texts(), (std::vector<std::string>{
                                  "Das Objekt kann nicht ausgawählt werden!",
                                  "Das Objekt kann nicht ausgewählt werden!",
                                  "Das Objekt kann nicht ausgewählt werden!",
                                  "Das Objekt kann nicht ausgewählt werden!",
                                  "Da Objekt kann nicht gelöscht werden!",
                              }));
    ASSERT_NE(providers_.SelectForEdit(1), nullptr);
    EXPECT_EQ(providers_.SelectForEdit(1)->fields[tariff::kProviderName], "Arcor");
}

TEST_F(TariffPages, ADeletedPlanTakesItsEntriesAlong) {
    EXPECT_TRUE(plans_.RemovePlan(1));
    ASSERT_TRUE(plans_.Save(file_));
    EXPECT_EQ(file_.ReadText("CBCT_01", "item-001"), "");
    EXPECT_EQ(file_.ReadText("CallByCallTariffPlan", "item-001"), "");

    // A new plan gets the free key again and must not inherit old entries.
    tariff::TariffPlanPage again;
    again.Load(file_);
    ASSERT_TRUE(again.StorePlan(std::nullopt, "Abends"));
    ASSERT_EQ(again.Plans().Items().size(), 1u);
    EXPECT_EQ(again.Plans().Items()[0].fields[tariff::kPlanKey], "CBCT_01");
    EXPECT_TRUE(again.Entries("CBCT_01")->Items().empty());
    ASSERT_TRUE(again.Save(file_));
    EXPECT_EQ(file_.ReadText("CallByCallTariffPlan", "item-001"), "1|Abends|CBCT_01");
    EXPECT_EQ(PrefixNow(), "");
}

TEST_F(TariffPages, PlanChoicesStartWithNone) {
    auto choices = tariff::PlanChoices(file_);
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[0].name, "Kein");
    EXPECT_EQ(choices[0].key, "");
    EXPECT_EQ(choices[1].name, "Werktags");
    EXPECT_EQ(choices[1].key, "CBCT_01");
}

// Plan "Werktags" with a weekday entry, or plan "Abends" with an evening
// entry, both under the key CBCT_01: each save of the writer below turns
// one into the other.
struct PlanState {
    const char* name;
    tariff::EntryRanges ranges;
    const char* provider;
    const char* record;
};
constexpr PlanState kWeekdays{"Werktags", {0, 4, 8, 17}, "Tele2", "1|1|0|4|8|17|CBCP_02"};
constexpr PlanState kEvenings{"Abends", {5, 6, 18, 23}, "Arcor", "1|1|5|6|18|23|CBCP_01"};

// Deletes the plan there is and makes the other one with its entry, and
// saves; reports each save on ackFd. Runs until it is killed.
[[noreturn]] void SwitchPlansForever(const SettingsFile& file, int ackFd) {
    for (;;) {
        tariff::TariffPlanPage page;
        page.Load(file);
        if (page.Plans().Items().size() != 1) _exit(2);
        const ListItem& plan = page.Plans().Items()[0];
        const PlanState& next = plan.fields[tariff::kPlanName] == kWeekdays.name ? kEvenings
                                                                                 : kWeekdays;
        if (!page.RemovePlan(plan.id) || !page.StorePlan(std::nullopt, next.name) ||
            !page.StoreEntry("CBCT_01", "", next.ranges, next.provider) || !page.Save(file))
            _exit(3);
        if (write(ackFd, "+", 1) != 1) _exit(4);
    }
}

TEST_F(TariffPages, ASaveKilledAtAnyMomentLeavesOnePlanWithItsOwnEntries) {
    for (int round = 0; round < 24; ++round) {
        int acks[2];
        ASSERT_EQ(pipe(acks), 0);
        pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            close(acks[0]);
            SwitchPlansForever(file_, acks[1]);
        }
        close(acks[1]);
        // Some saves done, then a kill somewhere inside the next ones.
        char ack;
        for (int n = 0; n < 1 + round % 3; ++n) ASSERT_EQ(read(acks[0], &ack, 1), 1);
        usleep(static_cast<useconds_t>(round * 97 % 1500));
        kill(writer, round % 2 ? SIGHUP : SIGKILL);
        int status = 0;
        waitpid(writer, &status, 0);
        close(acks[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": status " << status;

        tariff::TariffPlanPage page;
        page.Load(file_);
        ASSERT_EQ(page.Plans().Items().size(), 1u) << "round " << round;
        const ListItem& plan = page.Plans().Items()[0];
        const PlanState& state =
            plan.fields[tariff::kPlanName] == kWeekdays.name ? kWeekdays : kEvenings;
        EXPECT_EQ(plan.fields[tariff::kPlanName], state.name) << "round " << round;
        EXPECT_EQ(file_.ReadText("CallByCallTariffPlan", "item-001"),
                  std::string("1|") + state.name + "|CBCT_01");
        EXPECT_EQ(file_.ReadInt("CBCT_01", "Items", 0), 1) << "round " << round;
        EXPECT_EQ(file_.ReadText("CBCT_01", "item-001"), state.record) << "round " << round;
    }
}

}  // namespace
