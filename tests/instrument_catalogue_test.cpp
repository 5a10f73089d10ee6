// The instrument catalogue: string positions, note names, frequencies, octave ranges.
#include "views/instrument_catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace veldra {
namespace {

// Each open string of a mode as "NOTE FREQUENCY", e.g. "E 2 82.40".
std::vector<std::string> openStrings(InstrumentKind kind) {
    float frequencies[maxStringCount];
    const int32_t count = stringFrequencies(frequencies, kind);
    std::vector<std::string> strings;
    for (int32_t i = 0; i < count; ++i) {
        char note[4] = {'x', 'x', 'x', 'x'};
        stringNoteName(note, kind, i);
        char text[32];
        std::snprintf(text, sizeof text, "%.4s %.2f", note, static_cast<double>(frequencies[i]));
        strings.emplace_back(text);
    }
    return strings;
}

// The names pin down every table entry's octave and semitone, and the guard for positions
// stored just below a twelfth: Violin's 4 + 2/12 (4.1666665f) is D 4, not C#4, and Cello's
// exact 2.0 is C 2. The frequencies follow from C1 = 32.7 Hz, which makes A4 439.96, not
// 440. (Guitar's and Erhu's strings are in their information texts, instrument_info_test.)
TEST(InstrumentCatalogueTest, OpenStringsAreNamedByTheirNotesWithTheirFrequencies) {
    using V = std::vector<std::string>;
    EXPECT_EQ(openStrings(InstrumentKind::Violin), (V{"G 3 195.98", "D 4 293.64", "A 4 439.96", "E 5 659.19"}));
    EXPECT_EQ(openStrings(InstrumentKind::Cello), (V{"C 2 65.40", "G 2 97.99", "D 3 146.82", "A 3 219.98"}));
    EXPECT_EQ(openStrings(InstrumentKind::Pipa), (V{"A 2 109.99", "D 3 146.82", "E 3 164.80", "A 3 219.98"}));
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
    for (auto [kind, string] : {std::pair{InstrumentKind::Erhu, 2}, std::pair{InstrumentKind::Guitar, -1}}) {
        char note[4];
        stringNoteName(note, kind, string);
        EXPECT_STREQ(note, "c 0");
    }
}

TEST(InstrumentCatalogueTest, OctaveRangesSpanThreeOctavesFromEachModesLowest) {
    initOctaveRange();
    const std::pair<int32_t, int32_t> expected[instrumentKindCount] = {{2, 5}, {3, 6}, {2, 5}, {3, 6},
                                                                       {2, 5}, {1, 4}, {2, 5}, {3, 6}};
    for (int32_t k = 0; k < instrumentKindCount; ++k) {
        const OctaveBounds range = octaveRange(static_cast<InstrumentKind>(k));
        EXPECT_EQ(std::pair(range.low, range.high), expected[k]) << k;
        EXPECT_EQ(modeEntry(static_cast<InstrumentKind>(k))->lowOctave, expected[k].first) << k;
    }
}

}  // namespace
}  // namespace veldra
