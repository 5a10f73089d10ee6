// conditioning/: the front end that turns whatever the sound source gives (a desktop
// microphone, an interface, a phone, a file) into what the analysis was made for: the
// note's own band at a known level, and nothing at all when there is no note.
//
//   input_conditioner.h  conditionBlock: band, gain and gate, block by block; on/off
//   period_estimate.h    the coarse period that steers the band and tells hum from a note
//   band_filters.h       Butterworth second-order sections
//
// Plain C++ on the standard library; it uses no other folder.
// Thread: the main thread only (inside the block pipeline); nothing is locked.
#pragma once

#include "conditioning/band_filters.h"
#include "conditioning/input_conditioner.h"
#include "conditioning/period_estimate.h"
