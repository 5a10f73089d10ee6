// What a frequency reads as to a player, on the tuner's own scale, where C1 is 32.7 Hz (so
// A4 is 439.96 Hz), or on the reference the player chose (player_choices.h): the nearest
// equal-tempered note in the chosen spelling and the cents from it, and the played
// tuning's open string within a semitone, numbered as the player counts. veldra-file's
// table and the desktop's readout both say it this way.
//
// Thread: any that does not race with setPlayerChoices; no allocation.
#pragma once

#include <cstdint>

#include "views/player_choices.h"

namespace veldra {

// The nearest note counted from C0 (16.35 Hz at the scale's own A4), and the deviation
// from it, -50 .. +50 cents.
struct NoteReading {
    int32_t semitone;  // semitones above C0
    char name[4];      // "A 2", "C#3", "Db3": letter, '#', 'b' or blank, octave digit
    double cents;
};
NoteReading nameNote(double frequency);

// The open string of kind nearest to frequency, if one lies within a semitone (100 cents,
// as a table printing one decimal shows it).
struct StringMatch {
    bool found;
    int32_t number;  // 1-based, from the lowest or the highest string as chosen
    char name[4];    // its note name from the catalogue
    double cents;    // frequency relative to the string's own frequency
};
StringMatch nearestString(InstrumentKind kind, double frequency);

// Whole cents as a tuner shows them: "+10", "-15", "0" (never "-0").
void centsText(double cents, char (&text)[8]);

}  // namespace veldra
