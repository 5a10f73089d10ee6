// The SDL2 window back end: the handheld's screen in a desktop window titled "Veldra", with
// the desktop's readout strip below it.
//
// The 240 x (320 + strip) picture is scaled by a whole factor, nearest-neighbour, centred
// with black bars when the window's shape differs: at the start the largest factor whose
// window fits in 90 % of the usable screen's height (at least 2 where 2 fits at all), or
// what VELDRA_SCALE (1..8) asks (a value it cannot use is said on standard error, with the
// factor used instead); then following the window when the user resizes it. On a HiDPI
// desktop the factor applies to the window's pixels, not its points, and stylus positions
// are mapped back from points to screen pixels.
//
// Input: the left mouse button is the stylus (presses outside the screen are ignored);
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

inline constexpr const char* scaleVariable = "VELDRA_SCALE";
// The program's id on the desktop: io.github.veldra.Veldra.desktop, the icon's name.
inline constexpr const char* desktopAppId = "io.github.veldra.Veldra";
// The name the desktop shows for the program: the window's title, and the application the
// sound settings list the microphone's stream under.
inline constexpr const char* desktopAppName = "Veldra";

// readoutRows: the strip's rows in screen pixels (0: none).
std::unique_ptr<WindowBackEnd> makeSdlBackEnd(int32_t readoutRows, std::string& error);

}  // namespace veldra
