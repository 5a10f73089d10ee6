// platform/sound_input/: the handheld's wave-input buffer protocol in front of whichever
// sound source the process records from.
//
//   wave_in.h         the protocol (devices, headers, the filled-buffer thread message) and
//                     the installed source
//   wave_in_paced.h   a source paced by the clock, as if a microphone heard the sound
//   wave_in_file.h    the paced sources: a sound file and the demo performance
//   wave_in_choice.h  what VELDRA_INPUT chooses
#pragma once

#include "platform/sound_input/wave_in.h"
#include "platform/sound_input/wave_in_choice.h"
#include "platform/sound_input/wave_in_file.h"
#include "platform/sound_input/wave_in_paced.h"
