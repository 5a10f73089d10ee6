// The player's choices that change what the views show: the tuning of the chosen mode's
// strings, the pitch of A4, how notes are spelt and which string is number 1. The tuner
// owns the choices (tuner/tuner_choices.h) and hands the views a copy through
// setPlayerChoices; the catalogue, the dial, the readings and the information text read
// them from here.
//
// The reference: the scale's own A4 is C1 x 2^(45/12) with C1 = 32.7 Hz, 439.956 Hz. With
// A4 = R Hz every heard pitch is shown where the scale's own A4 shows pitch x 439.956 / R,
// and every open string is named at its frequency x R / 439.956. With no reference chosen
// nothing is multiplied, so every value stays bit for bit as the scale's own gives it.
//
// Thread: main thread only (setPlayerChoices); the readers may run on any thread that does
// not race with it.
#pragma once

#include <cstdint>
#include <string_view>

#include "views/instrument_catalogue.h"

namespace veldra {

// The range of reference pitches a player may choose, whole hertz.
inline constexpr int32_t lowestReferenceA4 = 415;   // baroque pitch
inline constexpr int32_t highestReferenceA4 = 466;  // a semitone above 440

struct PlayerChoices {
    InstrumentKind mode = InstrumentKind::Guitar;  // the mode the tuning belongs to
    int32_t tuning = 0;                            // index into the mode's tunings; 0 = its default
    int32_t referenceA4 = 0;  // Hz, lowestReferenceA4..highestReferenceA4; 0 = the scale's own
    bool flats = false;       // notes spelt with flats ("Bb3"), not sharps ("A#3")
    bool numberFromHighest = false;  // string 1 is the highest string, not the lowest

    bool operator==(const PlayerChoices&) const = default;
};

// Every field in range: mode 0..7, a tuning the mode has, A4 0 or 415..466.
bool validPlayerChoices(const PlayerChoices& choices);

// Stores choices when they are valid (true); otherwise keeps the ones there were (false).
// The dial's rings are not redrawn here: setupInstrument does that.
bool setPlayerChoices(const PlayerChoices& choices);

// The choices the views follow now.
const PlayerChoices& playerChoices();

// Back to the defaults: Guitar's standard tuning, the scale's own A4, sharps, string 1 the
// lowest.
void resetPlayerChoices();

// The tuning kind's strings are in: the chosen one for the chosen mode, the default for
// any other mode; nullptr for a kind outside 0..7.
const Tuning* playedTuning(InstrumentKind kind);

// The scale's own A4 in Hz (439.956...).
double scaleA4();

// R / scaleA4() for the chosen reference R; exactly 1 for the scale's own.
double referenceRatio();

// Reads a reference pitch as the command lines and the settings take it: "default" (case
// ignored) gives 0; a whole number 415..466 without sign, point or spaces gives itself.
// Anything else: false, hz unchanged.
bool parseReferenceA4(std::string_view text, int32_t& hz);

// The reference as parseReferenceA4 reads it back: "default" or "442".
const char* referenceA4Text(int32_t hz, char (&text)[8]);

// The note name of semitone cell 0..11 (C = 0) in the chosen spelling: two characters,
// the letter and '#', 'b' or a blank.
void spellSemitone(int32_t cell, char out[2]);

// The number a player calls open string index (0 = the lowest) of count strings.
int32_t stringNumber(int32_t index, int32_t count);

}  // namespace veldra
