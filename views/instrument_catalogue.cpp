#include "views/instrument_catalogue.h"

#include <cmath>
#include <cstring>

namespace veldra {
namespace {

// octave + semitone / 12, formed in double and rounded once to the nearest float.
constexpr PitchPosition position(int octave, int semitone) {
    return static_cast<float>(octave + semitone / 12.0);
}

const char* const displayNames[instrumentKindCount] = {
    "Guitar", "Violin", "Cello", "Erhu", "Pipa", "Bass", "Alto", "Singing",
};

// Slices of stringTable and the dial's lowest octave, in InstrumentKind order. For the
// stringed modes the low octave is the whole part of the first string's position.
constexpr ModeEntry catalogue[instrumentKindCount] = {
    {4, 6, 2},   // Guitar
    {0, 4, 3},   // Violin
    {10, 4, 2},  // Cello
    {14, 2, 3},  // Erhu
    {16, 4, 2},  // Pipa
    {0, 0, 1},   // Bass
    {0, 0, 2},   // Alto
    {0, 0, 3},   // Singing
};

constexpr char noteTemplate[4] = {'c', ' ', '0', '\0'};

OctaveBounds octaveTable[instrumentKindCount] = {};

bool validKind(InstrumentKind kind) {
    const auto k = static_cast<int32_t>(kind);
    return k >= 0 && k < instrumentKindCount;
}

}  // namespace

const PitchPosition stringTable[stringTableSize] = {
    position(3, 7),  position(4, 2), position(4, 9), position(5, 4),  // Violin G3 D4 A4 E5
    position(2, 4),  position(2, 9), position(3, 2), position(3, 7),  // Guitar E2 A2 D3 G3
    position(3, 11), position(4, 4),                                  //        B3 E4
    position(2, 0),  position(2, 7), position(3, 2), position(3, 9),  // Cello C2 G2 D3 A3
    position(3, 2),  position(3, 9),                                  // Erhu D3 A3
    position(2, 9),  position(3, 2), position(3, 4), position(3, 9),  // Pipa A2 D3 E3 A3
};

const ModeEntry* modeEntry(InstrumentKind kind) {
    return validKind(kind) ? &catalogue[static_cast<int32_t>(kind)] : nullptr;
}

const PitchPosition* modeStrings(InstrumentKind kind) {
    const ModeEntry* mode = modeEntry(kind);
    return mode != nullptr && mode->stringCount > 0 ? &stringTable[mode->firstString] : nullptr;
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
    const ModeEntry* mode = modeEntry(kind);
    if (mode == nullptr) return 0;
    for (int32_t i = 0; i < mode->stringCount; ++i) {
        const float t = stringTable[mode->firstString + i] - 1.0f;
        const double f = std::pow(2.0, static_cast<double>(t)) * c1Frequency;
        out[i] = static_cast<float>(f);
    }
    return mode->stringCount;
}

void stringNoteName(char out[4], InstrumentKind kind, int32_t index) {
    std::memcpy(out, noteTemplate, sizeof noteTemplate);
    const ModeEntry* mode = modeEntry(kind);
    if (mode == nullptr || index < 0 || index >= mode->stringCount) return;
    const PitchPosition p = stringTable[mode->firstString + index];
    const auto octave = static_cast<int32_t>(std::floor(static_cast<double>(p)));
    const float frac = p - static_cast<float>(octave);
    // The 0.001 guard keeps a twelfth stored just below its exact value (4.1666665 for
    // D4) on its own semitone instead of the one below.
    const auto semitone = static_cast<int32_t>((static_cast<double>(frac) + 0.001) * 12.0);
    out[0] = noteAlphabet[2 * semitone];
    out[1] = noteAlphabet[2 * semitone + 1];
    out[2] = static_cast<char>(noteTemplate[2] + octave);
    out[3] = '\0';
}

}  // namespace veldra
