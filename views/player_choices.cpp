#include "views/player_choices.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace veldra {
namespace {

PlayerChoices current{};

bool validReference(int32_t hz) {
    return hz == 0 || (hz >= lowestReferenceA4 && hz <= highestReferenceA4);
}

}  // namespace

bool validPlayerChoices(const PlayerChoices& choices) {
    return modeTuning(choices.mode, choices.tuning) != nullptr &&
           validReference(choices.referenceA4);
}

bool setPlayerChoices(const PlayerChoices& choices) {
    if (!validPlayerChoices(choices)) return false;
    current = choices;
    return true;
}

const PlayerChoices& playerChoices() {
    return current;
}

void resetPlayerChoices() {
    current = PlayerChoices{};
}

const Tuning* playedTuning(InstrumentKind kind) {
    return modeTuning(kind, kind == current.mode ? current.tuning : 0);
}

double scaleA4() {
    return c1Frequency * std::exp2(45.0 / 12.0);  // A4 is 3 octaves and 9 semitones above C1
}

double referenceRatio() {
    return current.referenceA4 == 0 ? 1.0 : current.referenceA4 / scaleA4();
}

bool parseReferenceA4(std::string_view text, int32_t& hz) {
    if (text.size() == 7) {
        bool isDefault = true;
        for (size_t i = 0; i < 7; ++i)
            isDefault =
                isDefault && std::tolower(static_cast<unsigned char>(text[i])) == "default"[i];
        if (isDefault) {
            hz = 0;
            return true;
        }
    }
    // Three digits cover the whole range and keep the number far from overflowing.
    if (text.size() != 3) return false;
    int32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < lowestReferenceA4 || value > highestReferenceA4) return false;
    hz = value;
    return true;
}

const char* referenceA4Text(int32_t hz, char (&text)[8]) {
    if (hz == 0)
        std::snprintf(text, sizeof text, "default");
    else
        std::snprintf(text, sizeof text, "%d", static_cast<int>(hz));
    return text;
}

void spellSemitone(int32_t cell, char out[2]) {
    const char* alphabet = current.flats ? flatNoteAlphabet : noteAlphabet;
    out[0] = alphabet[2 * cell];
    out[1] = alphabet[2 * cell + 1];
}

int32_t stringNumber(int32_t index, int32_t count) {
    return current.numberFromHighest ? count - index : index + 1;
}

}  // namespace veldra
