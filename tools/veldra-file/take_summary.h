// How a take was played on the whole: the share of its stable readings within inTuneCents
// of their note, and the notes it held furthest from in tune.
//
// A note's offset is the median, in cents, of every reading in its held runs (held_notes.h);
// the notes are ranked by how far that lies from 0, furthest first, and the first
// furthestNotes of them are kept. Thread: as held_notes.h.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/veldra-file/held_notes.h"

namespace veldra {

inline constexpr double inTuneCents = 5.0;  // a reading this close to its note is in tune
inline constexpr int32_t furthestNotes = 3;

struct NoteOffset {
    char name[4];        // "A 4", as NoteReading names it
    double medianCents;  // signed
};

struct TakeSummary {
    int64_t readings = 0;              // stable readings in the take
    int64_t inTune = 0;                // of them, within inTuneCents of their note
    std::vector<NoteOffset> furthest;  // at most furthestNotes, furthest from 0 first
};

TakeSummary summarizeTake(const std::vector<TakeReading>& readings,
                          const std::vector<HeldNote>& held);

}  // namespace veldra
