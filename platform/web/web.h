// platform/web/: the browser as the handheld's platform, the third back end beside SDL's
// and the tests' headless one. Only this folder's files (and the page's own scripts in
// web/site/) touch the browser's APIs.
//
//   window_backend_web.h  the screen on the page's canvas, pointer and keys as input, the
//                         message loop's wait as a promise (ASYNCIFY)
//   wave_in_web.h         the microphone through WebAudio, as the wave-input protocol
//
// Thread: the browser's one thread.
#pragma once

#include "platform/web/wave_in_web.h"
#include "platform/web/window_backend_web.h"
