// The desktop window's bars as the player sees them: the navigation bar titled for the mode
// and the menu bar's buttons (Start, Instrument, Help, and the image button showing picture
// 120), with a still picture of both for screens that no window system runs (veldra-file's
// pictures). The faces are set here once; the shell's menu description gives the same
// buttons their commands and menus.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/chrome/chrome.h"
#include "platform/screen/screen.h"

namespace veldra {

// The menu bar's buttons as drawn, left to right: captions or the image, and kinds; no
// commands or menus (those are the shell's).
inline constexpr MenuBarButton menuBarFaces[] = {
    {"Start", 0, MenuButtonKind::DropDown, {}, -1},
    {"Instrument", 0, MenuButtonKind::DropDown, {}, -1},
    {"Help", 0, MenuButtonKind::DropDown, {}, -1},
    {"", 0, MenuButtonKind::Plain, {}, 0},
};
inline constexpr int32_t startButton = 0;  // indexes into menuBarFaces
inline constexpr int32_t instrumentButton = 1;
inline constexpr int32_t helpButton = 2;
inline constexpr int32_t imageButton = 3;

// Draws both bars into the screen's memory (rows 0..25 and 294..319), through beginDraw /
// endDraw, in the built-in fonts; nothing when the screen gives no memory.
void drawWindowBars(Screen& screen, std::string_view title);

}  // namespace veldra
