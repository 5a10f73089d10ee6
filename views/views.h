// views/: what the player sees, drawn from the values it is handed (nothing here reads the
// analysis).
//
//   instrument_catalogue.h  the eight modes: names, tunings, octave ranges, note names
//   player_choices.h        the player's tuning, A4, note spelling and string numbering
//   instrument_info.h       the information text of a mode, drawn through a window's context
//   tuning_dial.h           the spiral dial: string rings and octave digits per mode; marker,
//                           needle, arrows and highlight per refresh
//   phase_trace.h           the phase portrait of the waveform in the dial's middle
//   note_reading.h          a frequency as a note, cents and the nearest open string
//   readout.h               the same in words and numbers, drawn for a strip below the screen
//   window_bars.h           the window's navigation and menu bars, and a still picture of them
//   pictures.h              the built-in pictures: the dial's background, the bar's image, the
//                           icon (bmp_decoder.h reads them)
//
// Thread: the main thread only.
#pragma once

#include "views/instrument_catalogue.h"
#include "views/instrument_info.h"
#include "views/note_reading.h"
#include "views/phase_trace.h"
#include "views/pictures.h"
#include "views/player_choices.h"
#include "views/readout.h"
#include "views/tuning_dial.h"
#include "views/window_bars.h"
