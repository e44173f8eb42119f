#include "list_layout.h"

#include <gtest/gtest.h>

#include "test_dir.h"

namespace {

TEST(ListLayout, RoundTripsAndKeepsDefaultsOfMissingKeys) {
    TestDir dir;
    SettingsFile file(dir.File("t.cfg"));
    ListLayout layout;
    layout.hidden = {0, 1, 0};
    layout.enable = {1, 1, 1};
    layout.order = {2, 0, 1};
    layout.size = {120, 80, -1};
    layout.sortColumn = 2;
    layout.sortDir = 1;
    ASSERT_TRUE(layout.Save(file, "CallByCallProvidersLayout"));
    EXPECT_EQ(dir.Get("t.cfg"),
              "[CallByCallProvidersLayout]\ncolHidden=0,1,0\ncolEnable=1,1,1\ncolOrder=2,0,1\n"
              "colSize=120,80,-1\ncolSort=2\nsortDir=1\n");
    ListLayout back;
    back.Load(file, "CallByCallProvidersLayout");
    EXPECT_EQ(back.hidden, layout.hidden);
    EXPECT_EQ(back.order, layout.order);
    EXPECT_EQ(back.size, layout.size);
    EXPECT_EQ(back.sortColumn, 2);
    EXPECT_EQ(back.sortDir, 1);

    dir.Put("t.cfg", "[L]\ncolSize=50,60\ncolSort=11\n");
    ListLayout partial;
    partial.order = {1, 0};
    partial.sortDir = 1;
    partial.Load(file, "L");
    EXPECT_EQ(partial.size, (std::vector<int>{50, 60}));
    EXPECT_EQ(partial.order, (std::vector<int>{1, 0}));  // missing: the window's own
    EXPECT_EQ(partial.sortColumn, ListLayout::kNoSort);  // out of range: none
    EXPECT_EQ(partial.sortDir, 1);
}

}  // namespace
