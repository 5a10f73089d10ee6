// tuner/: the one place that wires the analysis, the views, the display and live sound
// together.
//
//   block_pipeline.h  analyzeBlock: every block through the analysis and the trace, and ten
//                     times a second of sound the dial, the frame and the fade
//   tuner_startup.h   the start-up values and their order, and the shut-down
//   headless_tuner.h  the same start-up on a headless window, for tools and tests
//   mode_tuning.h     a mode command's tuner side: the dial for the mode, its tuning values
//   tuner_choices.h   the player's choices: mode, tuning, A4, note spelling, string numbers
//   tuner_state.h     the tuner's own state and its verbs: pause, resume, the input lost,
//                     the capture's wake-up, and what the readout says, told to a listener
//   digital_silence.h the pipeline's own: a second of zeros ends the pitch, which the
//                     detector cannot hear end (not passed on by this header)
//
// Thread: the main thread only.
#pragma once

#include "tuner/block_pipeline.h"
#include "tuner/headless_tuner.h"
#include "tuner/mode_tuning.h"
#include "tuner/tuner_choices.h"
#include "tuner/tuner_startup.h"
#include "tuner/tuner_state.h"
