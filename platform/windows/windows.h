// platform/windows/: the handheld's window system on one 240 x 320 screen in memory:
// message-driven windows, menus, dialogs, message boxes and the chrome, shown on a desktop
// by a back end.
//
//   window_system.h     windows, messages and the loop, painting, focus and activation,
//                       the shell's calls, dialogs and message boxes
//   window_backend.h    what a back end does: present, input, wake-up
//   window_screen.h     SystemScreen: the screen the windows and the display engine share
//
// Threads: posting and waking from any thread; everything else on the main thread.
#pragma once

#include "platform/windows/window_backend.h"
#include "platform/windows/window_screen.h"
#include "platform/windows/window_system.h"
