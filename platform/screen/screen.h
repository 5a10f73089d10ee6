// platform/screen/: the handheld's 240 x 320 RGB565 screen and what draws on it.
//
//   game_display.h     Screen: display memory and the game-display calls; the screen's
//                      layout (navigation bar, menu bar, the default window rectangle)
//   drawing_context.h  Rect, Bitmap, colours, and the context a window lends for drawing
//   window.h           Window: the handle the display engine and the views draw through
//   headless_screen.h  a Screen in memory only, with controls that make it misbehave
//   headless_window.h  a Window on a headless screen, for tools and tests
//   screen_png.h       the screen written to a PNG file
#pragma once

#include "platform/screen/drawing_context.h"
#include "platform/screen/game_display.h"
#include "platform/screen/headless_screen.h"
#include "platform/screen/headless_window.h"
#include "platform/screen/screen_png.h"
#include "platform/screen/window.h"
