// audio/: live sound on its way to the tuner.
//
//   wave_in_stream.h   WaveInStream: records on a capture thread of its own into a ring of
//                      blocks, pausing instead of overwriting unread sound
//   capture_handoff.h  wakes the main window once per batch and hands the blocks, with the
//                      backlog flag, to the consumer its opener gives it
//
// Threads: the capture thread stores blocks and posts the wake-up; the main thread reads.
#pragma once

#include "audio/capture_handoff.h"
#include "audio/wave_in_stream.h"
