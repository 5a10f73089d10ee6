// The instrument catalogue: string positions, note names, frequencies, octave ranges.
#include "views/instrument_catalogue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace veldra {
namespace {

const InstrumentKind stringedKinds[] = {InstrumentKind::Guitar, InstrumentKind::Violin,
                                        InstrumentKind::Cello, InstrumentKind::Erhu,
                                        InstrumentKind::Pipa};

std::vector<std::string> noteNames(InstrumentKind kind) {
    float frequencies[maxStringCount];
    const int32_t count = stringFrequencies(frequencies, kind);
    std::vector<std::string> names;
    for (int32_t i = 0; i < count; ++i) {
        char note[4] = {'x', 'x', 'x', 'x'};
        stringNoteName(note, kind, i);
        EXPECT_EQ(note[3], '\0');
        names.emplace_back(note);
    }
    return names;
}

std::vector<std::string> printedFrequencies(InstrumentKind kind) {
    float frequencies[maxStringCount];
    const int32_t count = stringFrequencies(frequencies, kind);
    std::vector<std::string> printed;
    for (int32_t i = 0; i < count; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%.2f", static_cast<double>(frequencies[i]));
        printed.emplace_back(text);
    }
    return printed;
}

// The note names pin down every table entry's octave and semitone, and the guard for
// positions stored just below a twelfth: Violin's 4 + 2/12 is D 4, not C#4, and Cello's
// exact 2.0 is C 2.
TEST(InstrumentCatalogueTest, OpenStringsAreNamedByTheirNotes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(stringTable[1], 4.1666665f);  // just below 4 + 2/12
    EXPECT_EQ(stringTable[10], 2.0f);
    EXPECT_EQ(noteNames(InstrumentKind::Guitar), (V{"E 2", "A 2", "D 3", "G 3", "B 3", "E 4"}));
    EXPECT_EQ(noteNames(InstrumentKind::Violin), (V{"G 3", "D 4", "A 4", "E 5"}));
    EXPECT_EQ(noteNames(InstrumentKind::Cello), (V{"C 2", "G 2", "D 3", "A 3"}));
    EXPECT_EQ(noteNames(InstrumentKind::Erhu), (V{"D 3", "A 3"}));
    EXPECT_EQ(noteNames(InstrumentKind::Pipa), (V{"A 2", "D 3", "E 3", "A 3"}));
}

// C1 = 32.7 Hz makes A4 439.96, not 440.
TEST(InstrumentCatalogueTest, FrequenciesFollowFromC1At32Point7) {
    using V = std::vector<std::string>;
    EXPECT_EQ(printedFrequencies(InstrumentKind::Guitar),
              (V{"82.40", "109.99", "146.82", "195.98", "246.92", "329.60"}));
    EXPECT_EQ(printedFrequencies(InstrumentKind::Violin), (V{"195.98", "293.64", "439.96", "659.19"}));
    EXPECT_EQ(printedFrequencies(InstrumentKind::Cello), (V{"65.40", "97.99", "146.82", "219.98"}));
    EXPECT_EQ(printedFrequencies(InstrumentKind::Erhu), (V{"146.82", "219.98"}));
    EXPECT_EQ(printedFrequencies(InstrumentKind::Pipa), (V{"109.99", "146.82", "164.80", "219.98"}));
}

// Modes without strings, kinds outside the catalogue and strings beyond a mode's count
// give no strings, the note template and an untouched name.
TEST(InstrumentCatalogueTest, NoStringsGiveTheTemplate) {
    for (int32_t k : {5, 6, 7, -1, 8, 1000}) {
        const auto kind = static_cast<InstrumentKind>(k);
        float frequencies[maxStringCount] = {7.0f};
        EXPECT_EQ(stringFrequencies(frequencies, kind), 0) << k;
        EXPECT_EQ(frequencies[0], 7.0f);
        char note[4];
        stringNoteName(note, kind, 0);
        EXPECT_STREQ(note, "c 0");
        std::string name = "unchanged";
        instrumentName(name, kind);
        EXPECT_EQ(name == "unchanged", k < 0 || k > 7) << k;
    }
    char note[4];
    stringNoteName(note, InstrumentKind::Erhu, 2);  // Erhu has strings 0 and 1 only
    EXPECT_STREQ(note, "c 0");
    stringNoteName(note, InstrumentKind::Guitar, -1);
    EXPECT_STREQ(note, "c 0");
}

TEST(InstrumentCatalogueTest, OctaveRangesSpanThreeOctavesFromEachModesLowest) {
    initOctaveRange();
    const OctaveBounds expected[instrumentKindCount] = {{2, 5}, {3, 6}, {2, 5}, {3, 6},
                                                        {2, 5}, {1, 4}, {2, 5}, {3, 6}};
    for (InstrumentKind kind : stringedKinds) {  // the whole part of the first string
        EXPECT_EQ(modeEntry(kind)->lowOctave, static_cast<int32_t>(std::floor(modeStrings(kind)[0])));
    }
    for (int32_t k = 0; k < instrumentKindCount; ++k) {
        const OctaveBounds range = octaveRange(static_cast<InstrumentKind>(k));
        SCOPED_TRACE(k);
        EXPECT_EQ(range.low, expected[k].low);
        EXPECT_EQ(range.high, expected[k].high);
    }
}

}  // namespace
}  // namespace veldra
