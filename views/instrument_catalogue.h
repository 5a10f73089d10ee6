// Instrument catalogue and note naming: what the tuner knows about its eight modes.
//
// Each mode has a display name, the lowest octave its dial shows and one or more tunings:
// the open-string pitches players ask for most that fit the mode's three octaves, the
// first its default (Bass, Alto and Singing by default a range without strings). From the
// tuning the player chose (player_choices.h) come the open-string frequencies (C1 taken
// as exactly 32.7 Hz, times the chosen reference) and their note names ("E 2", "C#3",
// "Db3"). OctaveRange holds each mode's (low, high) octave pair for the information text.
//
// Units: pitch positions are octaves above C0 (octave number + semitones / 12, float);
// frequencies in Hz (float).
// Thread: main thread only. Everything here is constant except OctaveRange, which
// initOctaveRange fills once at start-up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
inline constexpr int32_t maxStringCount = 6;  // Guitar has the most open strings
inline constexpr int32_t maxTuningCount = 6;  // Guitar has the most tunings
inline constexpr int32_t dialOctaveSpan = 3;  // turns of the dial, the same for every mode

// One way to tune a mode's open strings.
struct Tuning {
    const char* name;     // as a player says it: "standard", "drop D", "range"
    int32_t stringCount;  // open strings, 0..6; 0 for a range without strings
    // Lowest string first; the nearest floats to octave + semitone / 12.
    PitchPosition strings[maxStringCount];
};

// A mode's place in the catalogue.
struct ModeEntry {
    int32_t lowOctave;      // octave at the dial's inner start
    int32_t tuningCount;    // 1..maxTuningCount
    const Tuning* tunings;  // the first is the default
};

// The catalogue entry of kind, or nullptr for a value outside 0..7.
const ModeEntry* modeEntry(InstrumentKind kind);

// Tuning index of kind, or nullptr when kind or index is outside the catalogue.
const Tuning* modeTuning(InstrumentKind kind, int32_t index);

// The tuning of kind called name, ignoring case, spaces and hyphens ("Drop-D", "dropd");
// -1 when kind has none of that name.
int32_t findTuning(InstrumentKind kind, std::string_view name);

// The mode called name ("guitar", "Violin", ...; case, spaces and hyphens ignored);
// false, kind unchanged, for an unknown name.
bool findInstrument(std::string_view name, InstrumentKind& kind);

// The tunings of kind as a sentence lists them: "standard, drop D, ...".
std::string tuningNames(InstrumentKind kind);

// Every mode's tunings, one mode a line, the default first: "guitar: standard (default),
// drop D, ...\n". What `--tuning list` prints.
std::string tuningList();

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

// Twelve two-character note names, one per semitone from C, spelt with sharps or flats.
inline constexpr char noteAlphabet[] = "C C#D D#E F F#G G#A A#B ";
inline constexpr char flatNoteAlphabet[] = "C DbD EbE F GbG AbA BbB ";

// Writes the open-string frequencies of kind's played tuning in Hz at the chosen
// reference into out (room for 6), lowest first, and returns how many it wrote: 6, 4, 4,
// 2, 4 for Guitar, Violin, Cello, Erhu, Pipa in their defaults, 0 for a range.
int32_t stringFrequencies(float out[maxStringCount], InstrumentKind kind);

// Writes the note name of open string index (0 = the lowest) of kind's played tuning into
// out: two characters from the chosen spelling ("C C#D D#..." or "C DbD Eb..."), the octave
// digit and a terminating zero ("E 2"). For a kind without strings out holds the template
// "c 0". index must be below the count that stringFrequencies gives.
void stringNoteName(char out[4], InstrumentKind kind, int32_t index);

}  // namespace veldra
