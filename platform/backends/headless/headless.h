// platform/backends/headless/: the window system's back end without a desktop or SDL: the
// screen kept in memory, input from a script. tools/screens draws the program's screens on
// it, and the tests run the window system and the shell on it.
//
//   headless_back_end.h  HeadlessBackEnd: present keeps the picture, input is scripted
#pragma once

#include "platform/backends/headless/headless_back_end.h"
