#include "control.h"

#include <gtest/gtest.h>

namespace capisim {
namespace {

TEST(ParseControl, Commands) {
    std::string error;
    auto call = ParseControl("call 0301234 5552001 16 2.5", error);
    ASSERT_TRUE(call) << error;
    EXPECT_EQ(call->kind, ControlCommand::Kind::kCall);
    EXPECT_EQ(call->call.from, "0301234");
    EXPECT_EQ(call->call.to, "5552001");
    EXPECT_EQ(call->call.cip, 16);
    EXPECT_EQ(call->call.ringFor, std::chrono::milliseconds(2500));

    auto cut = ParseControl("  cut B ", error);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->kind, ControlCommand::Kind::kCut);
    EXPECT_EQ(cut->line, "B");

    auto quit = ParseControl("quit", error);
    ASSERT_TRUE(quit);
    EXPECT_EQ(quit->kind, ControlCommand::Kind::kQuit);
}

TEST(ParseControl, MistakesAreExplained) {
    for (const char* text : {"call 1 2 16", "call 1 2 x 3", "call 1 2 99 3", "call a 2 1 1",
                             "call 1 2 1 -1", "cut", "cut A B", "quit now", "dial 123"}) {
        std::string error;
        EXPECT_FALSE(ParseControl(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    std::string error = "x";
    EXPECT_FALSE(ParseControl("   ", error));
    EXPECT_TRUE(error.empty()) << "an empty line is no mistake";
}

}  // namespace
}  // namespace capisim
