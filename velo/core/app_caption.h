// The caption of velo's own message boxes.
#pragma once

inline constexpr const char* kAppCaption = "Telvora";
