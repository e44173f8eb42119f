// The stored geometry of velo's main window and its three panes, as the
// "mainWindow", "folderPane", "noteListPane" and "notePane" keys hold it.
#pragma once

#include <string>

#include "config_keys.h"

struct WindowRect {
    int left, top, width, height;
    bool operator==(const WindowRect&) const = default;
};

struct PaneSize {
    int width, height;
    bool operator==(const PaneSize&) const = default;
};

// The window's place from "left,top,width,height". An empty or unreadable
// text gives the default; a place that lies far off every screen (left
// and top both above 1500, or both below -1) gives the default too, and
// so does a size too small to find the window again.
WindowRect MainWindowRect(const std::string& text);
// "width,height"; an empty or unreadable text gives the setting's default.
PaneSize PaneSizeOf(const std::string& text, const TextSetting& setting);

std::string FormatRect(const WindowRect& r);
std::string FormatPane(const PaneSize& p);
