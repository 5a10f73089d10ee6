// platform/backends/: the only code that talks to SDL2: the desktop window and the
// microphone.
//
//   window_backend_sdl.h  the window system's screen in a desktop window, input as events
//   wave_in_sdl.h         the capture devices SDL finds, and the input VELDRA_INPUT chooses
//   sound_thread.h        the thread that makes the calls into SDL's audio, and gives up on it
#pragma once

#include "platform/backends/sound_thread.h"
#include "platform/backends/wave_in_sdl.h"
#include "platform/backends/window_backend_sdl.h"
