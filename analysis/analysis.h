// analysis/: the pitch measurement, numbers in and numbers out, on nothing but the standard
// library.
//
//   level_tracker.h     trackBlock: the envelope, the hysteresis thresholds and the
//                       interpolated crossings that give candidate periods; sampleRate
//   period_validator.h  validatePeriod: which candidates to believe, the smoothed period,
//                       pitchStable and the list of recently held periods
//
// Thread: the main thread only (inside the block pipeline); nothing is locked.
#pragma once

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
