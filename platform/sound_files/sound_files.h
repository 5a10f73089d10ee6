// platform/sound_files/: sound that comes from somewhere other than a microphone.
//
//   sound_file.h   SoundFileReader: any file libsndfile reads, as mono 16-bit samples at
//                  the rate asked for, in constant memory; errors as one-line messages
//   demo_sound.h   the built-in demo performance: six plucked strings and a sung glide
//   resampler.h    the one conversion between rates, for the files and the live input
//   live_conversion.h   a live input's values at its device's rate as the tuner's samples
//   sample_conversion.h   channels to mono and values to 16-bit samples, the same for both
//   printable_text.h   outside text (names, options, libraries' words) escaped for a terminal
#pragma once

#include "platform/sound_files/demo_sound.h"
#include "platform/sound_files/live_conversion.h"
#include "platform/sound_files/resampler.h"
#include "platform/sound_files/sample_conversion.h"
#include "platform/sound_files/sound_file.h"
