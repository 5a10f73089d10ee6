// The notes a take held, found in the dial's stable readings, one a refresh (the
// frequencies of veldra-file's table and CSV, not the readout's steadied ones, which
// lag behind a glide).
//
// A held note is a run of stable readings on one note lasting at least heldNoteSeconds. A
// run ends when the note changes, when a reading lies more than heldNoteWander cents from
// the median of the run so far, or when the reading blanks; the reading that ended it
// starts the next run. Each held note gives its median and its spread (the interquartile
// range) in cents from the note, and the chosen tuning's open string within a semitone of
// its median pitch, if any. Notes, strings and cents follow the player's choices in force
// (views/note_reading.h): the reference pitch, the spelling and the string numbering.
//
// Units: seconds of sound; cents (1200 per octave). Thread: any that does not race with
// setPlayerChoices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "views/views.h"

namespace veldra {

inline constexpr double heldNoteSeconds = 0.3;  // shortest run that counts as held
inline constexpr double heldNoteWander = 10.0;  // cents a run's readings may lie from its median

// One refresh of the take.
struct TakeReading {
    double seconds;   // the refresh's time in the sound
    float frequency;  // the stable reading, Hz; 0 when it was not stable
};

struct HeldNote {
    size_t first;        // index of its first reading
    size_t count;        // readings in it
    double start;        // seconds: the first reading's time
    double length;       // seconds: count refreshes
    NoteReading note;    // the note (its cents unused)
    double medianCents;  // from the note, signed
    double spreadCents;  // interquartile range
    StringMatch string;  // nearest open string of the tuning within a semitone (found or not)
};

// The held notes of readings, in time order; refreshSeconds is the time between refreshes.
std::vector<HeldNote> findHeldNotes(const std::vector<TakeReading>& readings, InstrumentKind kind,
                                    double refreshSeconds);

// The q-quantile (0..1) of values sorted ascending, interpolating between neighbours; 0 for
// none.
double sortedQuantile(const std::vector<double>& sorted, double q);

}  // namespace veldra
