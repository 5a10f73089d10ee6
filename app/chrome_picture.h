// The shell's chrome as a still picture, for screens that no window system runs
// (veldra-file's pictures): the navigation bar with a title, and the menu bar of
// description 102 with the image of bitmap 120, as the program shows them, in the
// built-in fonts.
//
// Thread: main thread only.
#pragma once

#include <string_view>

#include "platform/canvas/canvas.h"
#include "platform/screen/screen.h"

namespace veldra {

// Draws both bars into the screen's memory (rows 0..25 and 294..319), through
// beginDraw / endDraw; nothing when the screen gives no memory.
void drawShellChrome(Screen& screen, std::string_view title);

}  // namespace veldra
