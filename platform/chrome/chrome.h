// platform/chrome/: the handheld's chrome as pure drawing, apart from the window system
// that decides when to draw it, so that a program without windows (veldra-file's pictures)
// draws the same bars as the window does.
//
//   window_chrome.h     the navigation bar, menu bar, pop-up menus, dialog controls and
//                       message boxes drawn over a PixelCanvas
//   window_resources.h  menus, menu bars, dialog templates, accelerators as data
//
// Thread: whichever owns the canvas.
#pragma once

#include "platform/chrome/window_chrome.h"
#include "platform/chrome/window_resources.h"
