#include "numbering.h"

#include <gtest/gtest.h>

namespace capisim {
namespace {

TEST(SplitDialled, TakesOffOutsideAndCarrierPrefixes) {
    struct Case {
        std::string dialled, outside, expectOutside, carrier, number;
    } cases[] = {
        {"0010135552001", "0", "0", "01013", "5552001"},
        {"00100125552001", "0", "0", "010012", "5552001"},
        {"010135552001", "", "", "01013", "5552001"},
        {"5552001", "0", "", "", "5552001"},
        {"05552001", "0", "0", "", "5552001"},
        {"901013555", "9", "9", "01013", "555"},
        {"001013", "0", "0", "", "01013"},
    };
    for (const Case& c : cases) {
        DialledNumber d = SplitDialled(c.dialled, c.outside);
        EXPECT_EQ(d.dialled, c.dialled);
        EXPECT_EQ(d.outsidePrefix, c.expectOutside) << c.dialled;
        EXPECT_EQ(d.carrierPrefix, c.carrier) << c.dialled;
        EXPECT_EQ(d.number, c.number) << c.dialled;
    }
}

TEST(NumberPlan, FindsLinesBeforeSpecialNumbers) {
    NumberPlan plan({{"A", 0, {"1"}, ""}, {"B", 0, {"2", "3"}, ""}},
                    {{"3", SpecialKind::kBusy, 0, {}}, {"4", SpecialKind::kReject, 3, {}}});
    EXPECT_EQ(plan.Find("3").kind, Destination::kLine);
    EXPECT_EQ(plan.Find("3").line, 1u);
    EXPECT_EQ(plan.Find("4").kind, Destination::kSpecial);
    EXPECT_EQ(plan.Find("4").special->reject, 3);
    EXPECT_EQ(plan.Find("5").kind, Destination::kNone);
    EXPECT_EQ(plan.Find("").kind, Destination::kNone);
    EXPECT_EQ(plan.LineNamed("B"), std::optional<size_t>(1));
}

TEST(ReasonForReject, MapsRejectValuesToCauses) {
    std::pair<uint16_t, uint16_t> cases[] = {{2, 0x3490}, {3, 0x3491},      {4, 0x34AC},
                                             {5, 0x349D}, {6, 0x3486},      {7, 0x34D8},
                                             {8, 0x349B}, {0x34A2, 0x34A2}, {99, 0x3490}};
    for (auto [reject, reason] : cases) EXPECT_EQ(ReasonForReject(reject), reason) << reject;
}

}  // namespace
}  // namespace capisim
