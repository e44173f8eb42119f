#include "window_layout.h"

#include <gtest/gtest.h>

namespace {

const WindowRect kDefault{40, 20, 600, 400};

TEST(WindowLayout, AWindowFarOffTheScreensFallsBackWhileOneHalfOffStays) {
    EXPECT_EQ(MainWindowRect("2000,1800,700,500"), kDefault);
    EXPECT_EQ(MainWindowRect("-5,-5,700,500"), kDefault);
    EXPECT_EQ(MainWindowRect("-5,100,700,500"), (WindowRect{-5, 100, 700, 500}));
    EXPECT_EQ(MainWindowRect("2000,100,700,500"), (WindowRect{2000, 100, 700, 500}));
    EXPECT_EQ(MainWindowRect("-1,-1,700,500"), (WindowRect{-1, -1, 700, 500}));
}

TEST(WindowLayout, EmptyOrDamagedTextsGiveTheDefaults) {
    for (const char* text :
         {"", "10,20", "a,b,c,d", "10,20,300,400x", "10,20,0,0", "10,20,-300,400"})
        EXPECT_EQ(MainWindowRect(text), kDefault) << text;
    EXPECT_EQ(PaneSizeOf("", cfg::kFolderPane), (PaneSize{155, 300}));
    EXPECT_EQ(PaneSizeOf("12", cfg::kNoteListPane), (PaneSize{425, 215}));
    EXPECT_EQ(PaneSizeOf("-3,40", cfg::kNotePane), (PaneSize{425, 80}));
    EXPECT_EQ(PaneSizeOf("200,310", cfg::kFolderPane), (PaneSize{200, 310}));
}

TEST(WindowLayout, WrittenTextsReadBack) {
    WindowRect r{-5, 100, 640, 480};
    EXPECT_EQ(MainWindowRect(FormatRect(r)), r);
    EXPECT_EQ(PaneSizeOf(FormatPane({170, 290}), cfg::kFolderPane), (PaneSize{170, 290}));
}

}  // namespace
