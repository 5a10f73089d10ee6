// The SDL2 window back end: the handheld's screen in a desktop window titled "Veldra".
//
// The 240 x 320 picture is scaled by a whole factor, nearest-neighbour, centred with
// black bars when the window's shape differs: 2 by default (VELDRA_SCALE=1..8 chooses
// another), less when the display is too small, and following the window when the user
// resizes it. On a HiDPI desktop the factor applies to the window's pixels, not its
// points, and stylus positions are mapped back from points to screen pixels.
//
// Input: the left mouse button is the stylus (presses outside the picture are ignored);
// keys become virtual-key codes (letters, digits, Return, Escape, arrows, F10) with the
// Control and Shift state; focus changes, minimising, the close button (and SIGINT /
// SIGTERM, which SDL turns into the same, and SIGHUP, handed on as SIGTERM) and low
// memory become their InputKinds.
// Waking is an SDL user event, pushed at most once until the loop has taken it.
//
// The window is a real one: on the video driver SDL_VIDEODRIVER names, or else on X11 or
// Wayland, never on SDL's offscreen fallback. Its class (WM_CLASS on X11, the app_id on
// Wayland) is desktopAppId, the name of the installed desktop entry and icon, so that the
// desktop shows the window under that entry and icon; SDL_VIDEO_X11_WMCLASS and
// SDL_VIDEO_WAYLAND_WMCLASS, when set, win as SDL documents.
//
// Failure: makeSdlBackEnd returns null with error saying what SDL refused, "cannot open a
// window: no X11 or Wayland display answers (DISPLAY ..., WAYLAND_DISPLAY ...)" when there
// is no display.
// Threads: wake() from any thread; the rest on the main thread.
#pragma once

#include <memory>
#include <string>

#include "platform/windows/windows.h"

namespace veldra {

inline constexpr int32_t defaultScale = 2;
inline constexpr const char* scaleVariable = "VELDRA_SCALE";
// The program's id on the desktop: io.github.veldra.Veldra.desktop, the icon's name.
inline constexpr const char* desktopAppId = "io.github.veldra.Veldra";

// The factor VELDRA_SCALE asks for, or defaultScale when it is unset or not 1..8.
int32_t scaleFromEnvironment();

std::unique_ptr<WindowBackEnd> makeSdlBackEnd(int32_t scale, std::string& error);

}  // namespace veldra
