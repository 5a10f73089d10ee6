#include "views/instrument_catalogue.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "views/player_choices.h"

namespace veldra {
namespace {

// octave + semitone / 12, formed in double and rounded once to the nearest float.
constexpr PitchPosition position(int octave, int semitone) {
    return static_cast<float>(octave + semitone / 12.0);
}

const char* const displayNames[instrumentKindCount] = {
    "Guitar", "Violin", "Cello", "Erhu", "Pipa", "Bass", "Alto", "Singing",
};

// The tunings of each mode, the default first. A tuning's strings fit its mode's three
// octaves, from its lowOctave in the catalogue below.
constexpr int C = 0, D = 2, E = 4, F = 5, G = 7, A = 9, B = 11;  // semitones
constexpr Tuning guitarTunings[] = {
    {"standard",
     6,
     {position(2, E), position(2, A), position(3, D), position(3, G), position(3, B),
      position(4, E)}},
    {"drop D",
     6,
     {position(2, D), position(2, A), position(3, D), position(3, G), position(3, B),
      position(4, E)}},
    {"DADGAD",
     6,
     {position(2, D), position(2, A), position(3, D), position(3, G), position(3, A),
      position(4, D)}},
    {"open D",
     6,
     {position(2, D), position(2, A), position(3, D), position(3, F + 1), position(3, A),
      position(4, D)}},
    {"open G",
     6,
     {position(2, D), position(2, G), position(3, D), position(3, G), position(3, B),
      position(4, D)}},
    {"half step down",
     6,
     {position(2, E - 1), position(2, A - 1), position(3, D - 1), position(3, G - 1),
      position(3, B - 1), position(4, E - 1)}},
};
constexpr Tuning violinTunings[] = {
    {"standard", 4, {position(3, G), position(4, D), position(4, A), position(5, E)}},
    {"viola", 4, {position(3, C), position(3, G), position(4, D), position(4, A)}},
};
constexpr Tuning celloTunings[] = {
    {"standard", 4, {position(2, C), position(2, G), position(3, D), position(3, A)}},
};
constexpr Tuning erhuTunings[] = {
    {"standard", 2, {position(3, D), position(3, A)}},
};
constexpr Tuning pipaTunings[] = {
    {"standard", 4, {position(2, A), position(3, D), position(3, E), position(3, A)}},
};
constexpr Tuning bassTunings[] = {
    {"range", 0, {}},
    {"bass guitar", 4, {position(1, E), position(1, A), position(2, D), position(2, G)}},
};
constexpr Tuning rangeTunings[] = {
    {"range", 0, {}},
};

template <size_t n>
constexpr ModeEntry entry(int32_t lowOctave, const Tuning (&tunings)[n]) {
    return {lowOctave, static_cast<int32_t>(n), tunings};
}

// The dial's lowest octave and the tunings, in InstrumentKind order. For the stringed
// modes the low octave is the whole part of the default's first string's position.
constexpr ModeEntry catalogue[instrumentKindCount] = {
    entry(2, guitarTunings), entry(3, violinTunings), entry(2, celloTunings),
    entry(3, erhuTunings),   entry(2, pipaTunings),   entry(1, bassTunings),
    entry(2, rangeTunings),  entry(3, rangeTunings),
};

constexpr char noteTemplate[4] = {'c', ' ', '0', '\0'};

OctaveBounds octaveTable[instrumentKindCount] = {};

// A name as the lookups compare it: lower case, without spaces and hyphens.
std::string nameKey(std::string_view name) {
    std::string key;
    for (const char c : name) {
        if (c == ' ' || c == '-') continue;
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

bool validKind(InstrumentKind kind) {
    const auto k = static_cast<int32_t>(kind);
    return k >= 0 && k < instrumentKindCount;
}

}  // namespace

const ModeEntry* modeEntry(InstrumentKind kind) {
    return validKind(kind) ? &catalogue[static_cast<int32_t>(kind)] : nullptr;
}

const Tuning* modeTuning(InstrumentKind kind, int32_t index) {
    const ModeEntry* mode = modeEntry(kind);
    return mode != nullptr && index >= 0 && index < mode->tuningCount ? &mode->tunings[index]
                                                                      : nullptr;
}

int32_t findTuning(InstrumentKind kind, std::string_view name) {
    const ModeEntry* mode = modeEntry(kind);
    const std::string key = nameKey(name);
    for (int32_t i = 0; mode != nullptr && i < mode->tuningCount; ++i) {
        if (nameKey(mode->tunings[i].name) == key) return i;
    }
    return -1;
}

bool findInstrument(std::string_view name, InstrumentKind& kind) {
    const std::string key = nameKey(name);
    for (int32_t k = 0; k < instrumentKindCount; ++k) {
        if (nameKey(displayNames[k]) == key) {
            kind = static_cast<InstrumentKind>(k);
            return true;
        }
    }
    return false;
}

std::string tuningNames(InstrumentKind kind) {
    std::string names;
    for (int32_t i = 0; const Tuning* tuning = modeTuning(kind, i); ++i)
        names += (i == 0 ? "" : ", ") + std::string(tuning->name);
    return names;
}

std::string tuningList() {
    std::string list;
    for (int32_t k = 0; k < instrumentKindCount; ++k) {
        list += nameKey(displayNames[k]) + ":";
        for (int32_t i = 0; i < catalogue[k].tuningCount; ++i) {
            list += i == 0 ? " " : ", ";
            list += catalogue[k].tunings[i].name;
            if (i == 0) list += " (default)";
        }
        list += '\n';
    }
    return list;
}

void initOctaveRange() {
    for (int32_t k = 0; k < instrumentKindCount; ++k) {
        const int32_t low = catalogue[k].lowOctave;
        octaveTable[k] = {low, low + dialOctaveSpan};
    }
}

OctaveBounds octaveRange(InstrumentKind kind) {
    return validKind(kind) ? octaveTable[static_cast<int32_t>(kind)] : OctaveBounds{0, 0};
}

void instrumentName(std::string& name, InstrumentKind kind) {
    if (validKind(kind)) name = displayNames[static_cast<int32_t>(kind)];
}

std::string modeTitle(InstrumentKind kind) {
    std::string name;
    instrumentName(name, kind);
    return "Veldra -- " + name;
}

int32_t stringFrequencies(float out[maxStringCount], InstrumentKind kind) {
    const Tuning* tuning = playedTuning(kind);
    if (tuning == nullptr) return 0;
    // Exactly 1 for the scale's own A4, so its frequencies stay as they always were.
    const double ratio = referenceRatio();
    for (int32_t i = 0; i < tuning->stringCount; ++i) {
        const float t = tuning->strings[i] - 1.0f;
        const double f = std::pow(2.0, static_cast<double>(t)) * c1Frequency;
        out[i] = static_cast<float>(f * ratio);
    }
    return tuning->stringCount;
}

void stringNoteName(char out[4], InstrumentKind kind, int32_t index) {
    std::memcpy(out, noteTemplate, sizeof noteTemplate);
    const Tuning* tuning = playedTuning(kind);
    if (tuning == nullptr || index < 0 || index >= tuning->stringCount) return;
    const PitchPosition p = tuning->strings[index];
    const auto octave = static_cast<int32_t>(std::floor(static_cast<double>(p)));
    const float frac = p - static_cast<float>(octave);
    // The 0.001 guard keeps a twelfth stored just below its exact value (4.1666665 for
    // D4) on its own semitone instead of the one below.
    const auto semitone = static_cast<int32_t>((static_cast<double>(frac) + 0.001) * 12.0);
    spellSemitone(semitone, out);
    out[2] = static_cast<char>(noteTemplate[2] + octave);
    out[3] = '\0';
}

}  // namespace veldra
