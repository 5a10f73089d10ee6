#include "views/note_reading.h"

#include <cmath>
#include <cstdio>

#include "views/player_choices.h"

namespace veldra {
namespace {

constexpr double c0Frequency = c1Frequency / 2;  // Hz

}  // namespace

NoteReading nameNote(double frequency) {
    NoteReading r{};
    // The ratio is exactly 1 for the scale's own A4: the same division as ever.
    const double semitones = 12.0 * std::log2(frequency / (c0Frequency * referenceRatio()));
    const double nearest = std::round(semitones);
    r.semitone = static_cast<int32_t>(nearest);
    r.cents = (semitones - nearest) * 100.0;
    const int32_t cell = ((r.semitone % 12) + 12) % 12;
    const int32_t octave = (r.semitone - cell) / 12;
    char letters[2];
    spellSemitone(cell, letters);
    std::snprintf(r.name, sizeof r.name, "%c%c%d", letters[0], letters[1],
                  octave < 0 || octave > 9 ? 0 : octave);
    return r;
}

StringMatch nearestString(InstrumentKind kind, double frequency) {
    StringMatch best{};
    float strings[maxStringCount];
    const int32_t count = stringFrequencies(strings, kind);
    for (int32_t i = 0; i < count; ++i) {
        const double cents = 1200.0 * std::log2(frequency / strings[i]);
        // Within a semitone as a table prints it (one decimal), so never "100.0".
        if (std::fabs(cents) >= 99.95 || (best.found && std::fabs(cents) >= std::fabs(best.cents)))
            continue;
        best.found = true;
        best.number = stringNumber(i, count);
        best.cents = cents;
        stringNoteName(best.name, kind, i);
    }
    return best;
}

void centsText(double cents, char (&text)[8]) {
    const long whole = std::lround(cents);
    std::snprintf(text, sizeof text, whole == 0 ? "0" : "%+ld", whole);
}

}  // namespace veldra
