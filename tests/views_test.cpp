// The tuner's views: the information text, the tuning dial (string rings, needle, arrows,
// marker, highlight circle) and the phase-portrait trace (pairing across
// blocks, the automatic delay).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/display.h"
#include "platform/fonts/fonts.h"
#include "tests/support/surface_pixels.h"
#include "tests/support/tuner_setup.h"
#include "views/instrument_info.h"
#include "views/phase_trace.h"
#include "views/readout.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

// ---- The information text: its wording to the character.

// Each kind of mode's text to the character. (Every tuning's string names and frequencies,
// Violin's D 4 stored just below a twelfth among them: player_choices_test.)
TEST(InstrumentInfoTest, TextOfEachKindOfMode) {
    initOctaveRange();
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Guitar),
              "You chose Guitar,\n"
              "which ranges from C2 to C5\n"
              "\n"
              "String 1 is: E 2, i.e.   82.40 Hz.\n"
              "String 2 is: A 2, i.e.  109.99 Hz.\n"
              "String 3 is: D 3, i.e.  146.82 Hz.\n"
              "String 4 is: G 3, i.e.  195.98 Hz.\n"
              "String 5 is: B 3, i.e.  246.92 Hz.\n"
              "String 6 is: E 4, i.e.  329.60 Hz.\n");
    // Modes without strings show the header alone; a kind outside the catalogue nothing.
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Bass),
              "You chose Bass,\nwhich ranges from C1 to C4\n\n");
    EXPECT_EQ(composeInstrumentInfo(static_cast<InstrumentKind>(8)), "");
}

// ---- The tuning dial.

constexpr uint16_t green = 0x5FEB;        // needle and arrows
constexpr uint16_t blue = 0x427F;         // marker
constexpr uint16_t yellow = 0xFFE1;       // highlight circle
constexpr uint16_t scaleYellow = 0xFBE0;  // string rings and digits

// The most recent listed period as the tuner hands it to the views.
ListedPitch listedAt(float period) {
    return {period, 22050.0 / period};
}

// The frequency at a pitch position (octaves above C0).
float frequencyAt(double position) {
    return static_cast<float>(16.3515625 * std::exp2(position));
}

class DialTest : public ::testing::Test {
  protected:
    void SetUp() override { startTunerModules(); }
    void TearDown() override { resetDisplay(); }
    ListedPitch listed{0.0, 0.0};  // nothing listed
    static uint16_t scale(int32_t x, int32_t y) { return ScaleLayer.pixels[y * 240 + x]; }
    static uint16_t ink(int32_t x, int32_t y) { return InkLayer.pixels[y * 240 + x]; }
    static std::pair<int32_t, int32_t> pointOf(float frequency) {
        int32_t x, y;
        dialPoint(angleIndex(pitchPositionFromFrequency(frequency)), 0, x, y);
        return {x, y};
    }
};

// Radii 5..8 (squared distance 21..72) round a hole of radius 4 that shows the ink.
TEST_F(DialTest, GuitarRingsSitOnTheSixStringsWithSeeThroughHoles) {
    const DialState& s = dialState();
    ASSERT_EQ(s.stringCount, 6);
    for (int32_t i = 0; i < 6; ++i) {
        int32_t x, y;
        dialPoint(angleIndex(s.stringPositions[i]), 0, x, y);
        EXPECT_EQ(std::tuple(scale(x, y), scale(x + 4, y + 2), scale(x - 5, y), scale(x + 6, y - 6),
                             scale(x + 7, y - 6)),
                  std::tuple(0, 0, scaleYellow, scaleYellow, 0))
            << i;
    }
}

// Violin's dial runs from C3 (position 3) to C6. Up to a semitone past either end the
// needle stands on the continued spiral; beyond it only an arrow is drawn.
TEST_F(DialTest, NeedleOnTheSpiralUpToASemitonePastItsEndsArrowsBeyond) {
    setupInstrument(InstrumentKind::Violin);
    updateDial(440.0f, true, listed);  // at nine o'clock: a disc at (42, 128), a stroke to 21
    EXPECT_EQ(std::pair(dialState().reading, dialState().readingAngle),
              std::pair(DialReading::Needle, 1792));
    EXPECT_EQ(std::tuple(ink(46, 128), ink(42, 124), ink(47, 128), ink(21, 128), ink(20, 128)),
              std::tuple(green, green, 0, green, 0));
    EXPECT_EQ(countPixels(InkLayer), countPixels(InkLayer, 21, 124, 46, 132, green));
    // The needle's angle off the three turns; an arrow's is 0.
    const std::pair<double, DialReading> edges[] = {{3.0 - 0.07, DialReading::Needle},
                                                    {6.0 + 0.07, DialReading::Needle},
                                                    {3.0 - 0.09, DialReading::Low},
                                                    {6.0 + 0.09, DialReading::High}};
    for (const auto& [position, reading] : edges) {
        updateDial(frequencyAt(position), true, listed);
        const int32_t angle = dialState().readingAngle;
        EXPECT_EQ(std::pair(dialState().reading, angle < 0 || angle > 3072),
                  std::pair(reading, reading == DialReading::Needle))
            << position;
    }
    resetLayers();
    updateDial(110.0f, true, listed);  // the low arrow: its tip at (108, 88), its base at x 112
    EXPECT_EQ(std::tuple(ink(108, 88), ink(112, 84), ink(112, 92)),
              std::tuple(green, green, green));
    EXPECT_EQ(countPixels(InkLayer), countPixels(InkLayer, 108, 84, 112, 92));
}

// The blue marker shows the listed period with or without the needle; the yellow circle
// (radius 12) comes once for each newly listed period, even across a mode change.
TEST_F(DialTest, MarkerAtTheListedPeriodAndTheCircleOncePerNewPeriod) {
    updateDial(22050.0f, false, listed);  // nothing listed: nothing drawn
    EXPECT_EQ(countPixels(InkLayer), 0);
    listed = listedAt(200.0f);  // 110.25 Hz, near A 2
    const auto [x, y] = pointOf(22050.0f / 200.0f);
    updateDial(300.0f, false, listed);
    EXPECT_EQ(countPixels(InkLayer), countPixels(InkLayer, blue));
    EXPECT_EQ(std::pair(ink(x, y), ink(x + 12, y)), std::pair(blue, uint16_t{0}));
    updateDial(22050.0f / 200.0f, true, listed);
    EXPECT_EQ(ink(x + 12, y), yellow);
    EXPECT_EQ(ink(x, y), green);  // the needle covers the marker at the same pitch

    setupInstrument(InstrumentKind::Cello);
    updateDial(22050.0f / 200.0f, true, listed);
    EXPECT_EQ(countPixels(InkLayer, yellow), 0);
    listed = listedAt(150.0f);
    updateDial(22050.0f / 200.0f, true, listed);
    EXPECT_GT(countPixels(InkLayer, yellow), 0);
}

// ---- The phase-portrait trace.

class TracePhaseTest : public ::testing::Test {
  protected:
    void SetUp() override { startTunerModules(); }
    void TearDown() override { resetDisplay(); }
    void trace(const std::vector<int16_t>& block) const {
        drawTrace(block.data(), static_cast<int32_t>(block.size()), false, listed.period);
    }
    ListedPitch listed{0.0, 0.0};
};

// The point of sample k is (S[k - 50], S[k]) shifted right by 2, round origin 0; S is 0
// before the start. A ramp of distinct samples shows which samples pair: row r holds the
// points of samples 4r .. 4r + 3. Blocks of any length pair as one long stream, those
// shorter than the delay as well as one of several hundred samples.
TEST_F(TracePhaseTest, PointsPairSamplesDelayApartAcrossBlocks) {
    setTraceOrigin(0, 0, 2);
    setTraceAutoDelay(false);
    int32_t next = 0;
    for (int32_t length : {220, 10, 30, 1, 219, 500}) {
        std::vector<int16_t> ramp(length);
        for (int32_t i = 0; i < length; ++i)
            ramp[i] = static_cast<int16_t>(next++);
        trace(ramp);
    }
    for (int32_t row = 0; row < next / 4; ++row) {
        std::vector<int32_t> expected, lit;
        for (int32_t k = 4 * row; k < 4 * row + 4; ++k) {
            const int32_t x = k < 50 ? 0 : (k - 50) >> 2;
            if (std::find(expected.begin(), expected.end(), x) == expected.end())
                expected.push_back(x);
        }
        for (int32_t x = 0; x < 240; ++x)
            if (InkLayer.pixels[row * 240 + x] != 0) lit.push_back(x);
        EXPECT_EQ(lit, expected) << row;
    }
}

// The delay becomes a quarter of the listed period from the next block on: 11.9 / 4
// truncates to 2, too short; 12 / 4 = 3 is taken. The longest listed period gives 172:
// taken after a block of 220, not after one of 172 (the delay stays below the block's
// length).
TEST_F(TracePhaseTest, DelayFollowsQuarterPeriodsFromThreeToTheBlockLength) {
    const struct {
        float period;
        size_t blockLength;
        int32_t delay;
    } steps[] = {{11.9f, 220, 50}, {12.0f, 220, 3}, {689.0f, 172, 3}, {689.0f, 220, 172}};
    for (const auto& s : steps) {
        listed = listedAt(s.period);
        trace(std::vector<int16_t>(s.blockLength, 0));
        EXPECT_EQ(traceState().traceDelay, s.delay) << s.period << " " << s.blockLength;
    }
}

// ---- The readout: the note at least 20 pixels tall, cents green within 5 of their target
// and orange beyond, the string only in a mode with strings, words alone when paused.

TEST(ReadoutTest, TheNoteLargeAndTheCentsColouredByTheirDistance) {
    const auto draw = [](const Readout& r) {
        std::vector<uint16_t> strip(readoutWidth * readoutHeight, 0x1234);
        drawReadout({strip.data(), 1, readoutWidth, {0, 0, readoutWidth, readoutHeight}},
                    {&builtInFonts().readoutNote, &builtInFonts().readoutText}, r);
        return strip;
    };
    const auto count = [](const std::vector<uint16_t>& strip, uint16_t colour, int32_t from,
                          int32_t to) {
        int32_t n = 0;
        for (size_t i = 0; i < strip.size(); ++i)
            n += strip[i] == colour && static_cast<int32_t>(i % readoutWidth) >= from &&
                 static_cast<int32_t>(i % readoutWidth) < to;
        return n;
    };
    constexpr uint16_t white = 0xFFFF, green = 0x5FEB, orange = 0xFBE0;
    const std::vector<uint16_t> near =
        draw({ReadoutKind::Reading, 110.25f, InstrumentKind::Guitar});
    int32_t inked = 0;  // rows of the note with ink
    for (int32_t y = 0; y < readoutHeight; ++y)
        inked += std::any_of(&near[y * readoutWidth], &near[y * readoutWidth + 80],
                             [](uint16_t p) { return p == 0xFFFF; });
    EXPECT_GE(inked, 20);
    EXPECT_GT(count(near, green, 80, 240), 40);  // "+4 cents" and the string's "+4"
    EXPECT_EQ(count(near, orange, 0, 240), 0);
    const std::vector<uint16_t> off = draw({ReadoutKind::Reading, 108.0f, InstrumentKind::Guitar});
    EXPECT_EQ(count(off, green, 0, 240), 0);
    EXPECT_GT(count(off, orange, 80, 240), 40);  // -32 cents from A 2 and from its string
    const std::vector<uint16_t> voice =
        draw({ReadoutKind::Reading, 108.0f, InstrumentKind::Singing});
    EXPECT_LT(count(voice, white, 80, 240), count(off, white, 80, 240));  // no string named
    const Readout failed = failedInputReadout(
        "cannot open the default input (alsa): ALSA: "
        "Couldn't open audio device: No such file");
    for (const Readout& words : {Readout{ReadoutKind::Paused}, Readout{ReadoutKind::InputLost},
                                 Readout{ReadoutKind::InputEnded}, failed}) {
        const std::vector<uint16_t> said = draw(words);
        EXPECT_GT(count(said, white, 0, 240), 100);
        EXPECT_EQ(count(said, green, 0, 240) + count(said, orange, 0, 240), 0);
    }
    // A failed input's readout says why: another reason, other words; one too long for the
    // strip is cut between characters, and shows its start.
    EXPECT_NE(draw(failed), draw(failedInputReadout("no sound system: Connection refused")));
    const std::string longReason = std::string(118, 'x') + "\xC3\xA9";
    EXPECT_EQ(std::string(failedInputReadout(longReason).reason), longReason.substr(0, 118));
    EXPECT_NE(draw(failedInputReadout(longReason)), draw(failedInputReadout("y")));
    EXPECT_EQ(draw({}), std::vector<uint16_t>(readoutWidth * readoutHeight, 0));
}

// The colour and the meter follow the whole cents shown, not the fraction behind them: a
// sweep over a semitone in hundredths of a cent, for the note and for the string.
TEST(ReadoutTest, TheColourAndTheMeterAgreeWithTheNumberShown) {
    int32_t greenFives = 0;  // "-5" and "+5" seen green (orange once, on the fraction)
    for (int32_t step = -6000; step <= 6000; ++step) {
        const auto frequency = static_cast<float>(110.0 * std::exp2(step / 120000.0));
        const ReadoutWords w =
            wordReadout({ReadoutKind::Reading, frequency, InstrumentKind::Guitar});
        const int32_t cents = std::atoi(w.cents), stringCents = std::atoi(w.stringCents);
        ASSERT_EQ(w.centsInTune, std::abs(cents) <= 5) << w.cents;
        ASSERT_EQ(w.stringCentsInTune, std::abs(stringCents) <= 5) << w.stringCents;
        ASSERT_EQ(w.meterCents, cents) << w.cents;
        greenFives += std::abs(cents) == 5 && w.centsInTune;
    }
    EXPECT_GT(greenFives, 0);
}

// The fine meter: a tick every 5 cents from -50 to +50, equally spaced; the needle at c
// cents on the tick of c where there is one and in proportion between them; the in-tune
// zone from the tick of -5 to the tick of +5.
TEST(ReadoutTest, TheMetersNeedleSitsWhereItsScaleSaysTheCents) {
    const auto strip = [](int32_t cents) {
        ReadoutWords w;
        w.kind = ReadoutKind::Reading;
        w.meterCents = cents;
        w.centsInTune = std::abs(cents) <= 5;
        std::vector<uint16_t> pixels(readoutWidth * readoutHeight);
        drawReadoutStrip(pixels.data(), w);
        return pixels;
    };
    constexpr uint16_t white = 0xFFFF, green = 0x5FEB, orange = 0xFBE0;
    // A column's pixels of colour in the rows below the words.
    const auto inColumn = [](const std::vector<uint16_t>& p, int32_t x, uint16_t colour) {
        int32_t n = 0;
        for (int32_t y = 40; y < readoutHeight; ++y)
            n += p[y * readoutWidth + x] == colour;
        return n;
    };
    // The ticks: white columns with the needle off at an end, the other end's from the
    // other picture.
    const std::vector<uint16_t> low = strip(-50), high = strip(50);
    std::vector<int32_t> ticks;
    for (int32_t x = 0; x < readoutWidth; ++x)
        if (inColumn(x < readoutWidth / 2 ? high : low, x, white) > 0) ticks.push_back(x);
    ASSERT_EQ(ticks.size(), 21u);
    const int32_t spacing = ticks[1] - ticks[0];
    for (size_t i = 1; i < ticks.size(); ++i)
        ASSERT_EQ(ticks[i] - ticks[i - 1], spacing);
    EXPECT_GE(spacing, 8);  // two pixels a cent at least, to read from a music stand

    // The needle's columns: the ones holding its colour.
    const auto needle = [&](int32_t cents) {
        const std::vector<uint16_t> p = strip(cents);
        const uint16_t colour = std::abs(cents) <= 5 ? green : orange;
        std::vector<int32_t> xs;
        for (int32_t x = 0; x < readoutWidth; ++x)
            if (inColumn(p, x, colour) >= 15) xs.push_back(x);
        return xs;
    };
    for (int32_t cents = -50; cents <= 50; ++cents) {
        const std::vector<int32_t> xs = needle(cents);
        ASSERT_EQ(xs.size(), 3u) << cents;  // 3 pixels wide, the whole meter tall
        EXPECT_EQ(xs[1] * 5, ticks[0] * 5 + (cents + 50) * spacing) << cents;
    }
    // The zone: dark green from the -5 tick to the +5 tick, nowhere else.
    const std::vector<uint16_t> p = strip(-50);
    for (int32_t x = 0; x < readoutWidth; ++x) {
        const bool zone = inColumn(p, x, 0x0300) > 0;
        EXPECT_EQ(zone, x >= ticks[9] && x <= ticks[11]) << x;
    }
}

}  // namespace
}  // namespace veldra
