// Instrument catalogue and note naming: what the tuner knows about its eight modes.
//
// Each mode has a display name, a slice of open-string pitches in the shared StringTable
// (none for Bass, Alto and Singing) and the lowest octave its dial shows. From these come
// the open-string frequencies (C1 taken as exactly 32.7 Hz) and their note names ("E 2",
// "C#3"). OctaveRange holds each mode's (low, high) octave pair for the information text.
//
// Units: pitch positions are octaves above C0 (octave number + semitones / 12, float);
// frequencies in Hz (float).
// Thread: main thread only. Everything here is constant except OctaveRange, which
// initOctaveRange fills once at start-up.
#pragma once

#include <cstdint>
#include <string>

namespace veldra {

// A pitch in octaves above C0: 4.75 is A4, 2 + 4/12 is E2.
using PitchPosition = float;

// The tuning modes, in the order of the Instrument menu.
enum class InstrumentKind : int32_t {
    Guitar = 0,
    Violin = 1,
    Cello = 2,
    Erhu = 3,
    Pipa = 4,
    Bass = 5,
    Alto = 6,
    Singing = 7,
};

inline constexpr int32_t instrumentKindCount = 8;
inline constexpr int32_t stringTableSize = 20;
inline constexpr int32_t maxStringCount = 6;  // Guitar has the most open strings
inline constexpr int32_t dialOctaveSpan = 3;  // turns of the dial, the same for every mode

// The open strings of all stringed modes, lowest string first within each block. The
// blocks run Violin 0-3, Guitar 4-9, Cello 10-13, Erhu 14-15, Pipa 16-19 (not the order
// of InstrumentKind). Entries are the nearest floats to octave + semitone / 12.
extern const PitchPosition stringTable[stringTableSize];

// A mode's place in the catalogue.
struct ModeEntry {
    int32_t firstString;  // index into stringTable; meaningless when stringCount is 0
    int32_t stringCount;  // open strings, 0..6
    int32_t lowOctave;    // octave at the dial's inner start
};

// The catalogue entry of kind, or nullptr for a value outside 0..7.
const ModeEntry* modeEntry(InstrumentKind kind);

// The first of kind's open strings in stringTable, or nullptr when it has none.
const PitchPosition* modeStrings(InstrumentKind kind);

// One mode's octave range on the dial: high = low + the dial's octave span.
struct OctaveBounds {
    int32_t low;
    int32_t high;
};

// Fills the table of octave ranges from the catalogue and the dial's span of three turns.
// Start-up calls it once, before the first information text.
void initOctaveRange();

// Entry kind of the table ({0, 0} before initOctaveRange or for a kind outside 0..7).
OctaveBounds octaveRange(InstrumentKind kind);

// Copies the display name of kind ("Guitar", ...) into name; a kind outside 0..7
// leaves name as it was.
void instrumentName(std::string& name, InstrumentKind kind);

// "Veldra -- " and the mode's display name: the navigation bar's title in that mode.
std::string modeTitle(InstrumentKind kind);

// The scale's C1 in Hz, from which the open strings are tuned and notes are named.
inline constexpr double c1Frequency = 32.7;

// Twelve two-character note names, one per semitone from C.
inline constexpr char noteAlphabet[] = "C C#D D#E F F#G G#A A#B ";

// Writes the open-string frequencies of kind in Hz into out (room for 6) and returns
// how many it wrote: 6, 4, 4, 2, 4 for Guitar, Violin, Cello, Erhu, Pipa, else 0.
int32_t stringFrequencies(float out[maxStringCount], InstrumentKind kind);

// Writes the note name of open string index of kind into out: two characters from
// "C C#D D#E F F#G G#A A#B ", the octave digit and a terminating zero ("E 2"). For a
// kind without strings out holds the template "c 0". index must be below the count
// that stringFrequencies gives.
void stringNoteName(char out[4], InstrumentKind kind, int32_t index);

}  // namespace veldra
