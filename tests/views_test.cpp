// The tuner's views: the instrument catalogue and the information text, the tuning dial
// (geometry, per-mode scale, needle, arrows, marker, highlight circle) and the
// phase-portrait trace (pairing across blocks, the automatic delay, backlog).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "display/display.h"
#include "platform/screen/headless_screen.h"
#include "platform/screen/headless_window.h"
#include "tests/support/rect_equality.h"
#include "tests/support/surface_pixels.h"
#include "tests/support/tuner_setup.h"
#include "views/instrument_catalogue.h"
#include "views/instrument_info.h"
#include "views/phase_trace.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

// ---- The instrument catalogue beyond its modes' strings (those, with their names,
// frequencies and the modes' octave ranges, are in the information texts below).

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
    for (auto [kind, string] :
         {std::pair{InstrumentKind::Erhu, 2}, std::pair{InstrumentKind::Guitar, -1}}) {
        char note[4];
        stringNoteName(note, kind, string);
        EXPECT_STREQ(note, "c 0");
    }
}

// ---- The information text: its wording to the character, and how it is drawn.

// Every mode's text, and with it every stored string position, its note name and its
// frequency, and every mode's octave range. The names pin down each entry's octave and
// semitone, and the guard for positions stored just below a twelfth: Violin's 4 + 2/12
// (4.1666665f) is D 4, not C#4, and Cello's exact 2.0 is C 2. The frequencies follow from
// C1 = 32.7 Hz, which makes A4 439.96, not 440.
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
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Erhu),
              "You chose Erhu,\nwhich ranges from C3 to C6\n\n"
              "String 1 is: D 3, i.e.  146.82 Hz.\n"
              "String 2 is: A 3, i.e.  219.98 Hz.\n");
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Violin),
              "You chose Violin,\nwhich ranges from C3 to C6\n\n"
              "String 1 is: G 3, i.e.  195.98 Hz.\nString 2 is: D 4, i.e.  293.64 Hz.\n"
              "String 3 is: A 4, i.e.  439.96 Hz.\nString 4 is: E 5, i.e.  659.19 Hz.\n");
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Cello),
              "You chose Cello,\nwhich ranges from C2 to C5\n\n"
              "String 1 is: C 2, i.e.   65.40 Hz.\nString 2 is: G 2, i.e.   97.99 Hz.\n"
              "String 3 is: D 3, i.e.  146.82 Hz.\nString 4 is: A 3, i.e.  219.98 Hz.\n");
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Pipa),
              "You chose Pipa,\nwhich ranges from C2 to C5\n\n"
              "String 1 is: A 2, i.e.  109.99 Hz.\nString 2 is: D 3, i.e.  146.82 Hz.\n"
              "String 3 is: E 3, i.e.  164.80 Hz.\nString 4 is: A 3, i.e.  219.98 Hz.\n");
    // Modes without strings show the header alone; a kind outside the catalogue nothing.
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Bass),
              "You chose Bass,\nwhich ranges from C1 to C4\n\n");
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Alto),
              "You chose Alto,\nwhich ranges from C2 to C5\n\n");
    EXPECT_EQ(composeInstrumentInfo(InstrumentKind::Singing),
              "You chose Singing,\nwhich ranges from C3 to C6\n\n");
    EXPECT_EQ(composeInstrumentInfo(static_cast<InstrumentKind>(8)), "");
}

// Drawn through a headless window, which records each text with the colours in force:
// the text from row 50 whatever the rectangle's top, then the O.K. band black on white.
TEST(InstrumentInfoTest, DrawsTheTextFromTop50ThenTheOkBandBlackOnWhite) {
    initOctaveRange();
    HeadlessScreen screen;
    HeadlessWindow window(screen, startupWindowRect);
    for (int32_t top : {0, 80}) {
        window.clearTexts();
        ClientDrawing drawing(window);
        ASSERT_NE(drawing.get(), nullptr);
        drawing.get()->setBackgroundColour(colourBlack);
        drawing.get()->setTextColour(colourWhite);
        Rect client = {0, top, 240, 268};
        drawInstrumentInfo(*drawing.get(), client, InstrumentKind::Cello);
        EXPECT_EQ(client, (Rect{0, 50, 240, 268}));
        ASSERT_EQ(window.texts().size(), 2u);
        const auto& info = window.texts()[0];
        EXPECT_EQ(
            std::tie(info.text, info.rect, info.flags, info.textColour, info.backgroundColour),
            std::tuple(composeInstrumentInfo(InstrumentKind::Cello), Rect{0, 50, 240, 268}, 273u,
                       colourWhite, colourBlack));
        const auto& ok = window.texts()[1];
        EXPECT_EQ(std::tie(ok.text, ok.rect, ok.flags, ok.textColour, ok.backgroundColour),
                  std::tuple(" O.K. ", Rect{140, 200, 230, 230}, 273u, 0u, 0x00FFFFFFu));
    }
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

class DialTest : public ::testing::Test {
  protected:
    void SetUp() override { startTunerModules(); }
    ListedPitch listed{0.0, 0.0};  // nothing listed
    void TearDown() override { resetDisplay(); }
    static uint16_t scale(int32_t x, int32_t y) { return ScaleLayer.pixels[y * 240 + x]; }
    static uint16_t ink(int32_t x, int32_t y) { return InkLayer.pixels[y * 240 + x]; }
    static std::pair<int32_t, int32_t> point(int32_t a) {
        int32_t x, y;
        dialPoint(a, 0, x, y);
        return {x, y};
    }
    static std::pair<int32_t, int32_t> pointOf(float frequency) {
        return point(angleIndex(pitchPositionFromFrequency(frequency)));
    }
    // The 7 x 7 cell at (x, y) in ScaleLayer.
    static std::vector<uint16_t> cell(int32_t x, int32_t y) {
        std::vector<uint16_t> pixels;
        for (int32_t j = 0; j < 7; ++j)
            for (int32_t i = 0; i < 7; ++i)
                pixels.push_back(scale(x + i, y + j));
        return pixels;
    }
};

TEST_F(DialTest, SpiralWindsClockwiseFromTheTopAndBackwardBelowItsStart) {
    const int32_t cases[][4] = {// a, radial offset, x, y
                                {0, 0, 120, 88},
                                {256, 0, 165, 128},
                                {3072, 0, 120, 22},
                                {1024, 10, 120, 56}};
    for (const auto& c : cases) {
        int32_t x, y;
        dialPoint(c[0], c[1], x, y);
        EXPECT_EQ(std::pair(x, y), std::pair(c[2], c[3])) << c[0];
    }
    setupInstrument(InstrumentKind::Violin);
    const int32_t a = angleIndex(3.0f - 0.05f);
    EXPECT_EQ(a, -51);
    const auto [x, y] = point(a);  // counter-clockwise of the top, inside the inner radius
    EXPECT_LT(x, 120);
    EXPECT_LT(std::hypot(x - 120, y - 128), 40.0);
}

// Radii 5..8 (squared distance 21..72) round a hole of radius 4 that shows the ink.
TEST_F(DialTest, GuitarRingsSitOnTheSixStringsWithSeeThroughHoles) {
    const DialState& s = dialState();
    ASSERT_EQ(s.stringCount, 6);
    const std::pair<int32_t, int32_t> expected[6] = {{160, 152}, {64, 128}, {176, 96},
                                                     {83, 193},  {78, 58},  {198, 174}};
    for (int32_t i = 0; i < 6; ++i) {
        const auto [x, y] = point(angleIndex(s.stringPositions[i]));
        SCOPED_TRACE(i);
        EXPECT_EQ(std::pair(x, y), expected[i]);
        EXPECT_EQ(std::tuple(scale(x, y), scale(x + 4, y + 2), scale(x - 5, y), scale(x + 6, y - 6),
                             scale(x + 7, y - 6)),
                  std::tuple(0, 0, scaleYellow, scaleYellow, 0));
    }
}

// Digits of the lowest and highest octave at (120, 95) and (126, 8); modes without
// strings draw nothing else.
TEST_F(DialTest, OctaveDigitsOfEachMode) {
    const std::tuple<InstrumentKind, const char*, const char*> cases[] = {
        {InstrumentKind::Guitar, "2", "5"},
        {InstrumentKind::Bass, "1", "4"},
        {InstrumentKind::Alto, "2", "5"},
        {InstrumentKind::Singing, "3", "6"}};
    for (const auto& [kind, low, high] : cases) {
        setupInstrument(kind);
        SCOPED_TRACE(low);
        if (kind != InstrumentKind::Guitar) {
            EXPECT_EQ(countPixels(ScaleLayer), countPixels(ScaleLayer, 120, 95, 126, 101) +
                                                   countPixels(ScaleLayer, 126, 8, 132, 14));
        }
        const auto start = cell(120, 95), end = cell(126, 8);
        resetLayers();
        drawText(PenScale, low, 120, 95);
        drawText(PenScale, high, 126, 8);
        EXPECT_EQ(start, cell(120, 95));
        EXPECT_EQ(end, cell(126, 8));
    }
}

// A mode change starts the picture afresh: the scale from the background, the ink empty,
// the old mode's rings gone. Refused set-ups change nothing.
TEST_F(DialTest, ModeChangeRebuildsTheScaleFromTheBackgroundAndClearsTheInk) {
    BackgroundLayer.pixels[300 * 240 + 10] = 0x1234;
    drawPoint(PenInk, 50, 50);
    setupInstrument(InstrumentKind::Erhu);
    EXPECT_EQ(scale(10, 300), 0x1234);
    EXPECT_EQ(ink(50, 50), 0);
    EXPECT_EQ(scale(160 - 6, 152), 0);  // Guitar's E 2 ring
    EXPECT_EQ(std::pair(dialState().lowOctave, dialState().stringCount), std::pair(3, 2));
    setupInstrument(static_cast<InstrumentKind>(9));
    configureDial(2, 0, nullptr, 0);  // no turns
    EXPECT_EQ(std::tuple(dialState().lowOctave, dialState().octaveSpan, dialState().stringCount),
              std::tuple(3, 3, 2));
}

// The disc of radius 4 at (42, 128) and the stroke out to (21, 128), all green; no period
// is listed, so no marker and no circle.
TEST_F(DialTest, ViolinA440PutsTheNeedleAtNineOClock) {
    setupInstrument(InstrumentKind::Violin);
    updateDial(440.0f, true, listed);
    EXPECT_EQ(std::pair(dialState().reading, dialState().readingAngle),
              std::pair(DialReading::Needle, 1792));
    EXPECT_EQ(std::tuple(ink(46, 128), ink(42, 124), ink(47, 128), ink(21, 128), ink(20, 128)),
              std::tuple(green, green, 0, green, 0));
    EXPECT_EQ(countPixels(InkLayer), countPixels(InkLayer, 21, 124, 46, 132, green));
}

// Beyond a semitone past either end only an arrow is drawn; up to it, the needle on the
// continued spiral.
TEST_F(DialTest, ArrowsBeyondTheDialNeedleUpToASemitonePast) {
    setupInstrument(InstrumentKind::Violin);  // C3 to C6
    const struct {
        float frequency;
        DialReading reading;
        int32_t tipX, tipY, baseX;
    } cases[] = {{110.0f, DialReading::Low, 108, 88, 112},     // 2.75 octaves
                 {2000.0f, DialReading::High, 132, 22, 128}};  // 6.93 octaves
    for (const auto& c : cases) {
        resetLayers();
        updateDial(c.frequency, true, listed);
        SCOPED_TRACE(c.frequency);
        EXPECT_EQ(dialState().reading, c.reading);
        EXPECT_EQ(
            std::tuple(ink(c.tipX, c.tipY), ink(c.baseX, c.tipY - 4), ink(c.baseX, c.tipY + 4)),
            std::tuple(green, green, green));
        const int32_t left = std::min(c.tipX, c.baseX), right = std::max(c.tipX, c.baseX);
        EXPECT_EQ(countPixels(InkLayer),
                  countPixels(InkLayer, left, c.tipY - 4, right, c.tipY + 4));
    }
    const auto frequencyAt = [](double position) {
        return static_cast<float>(16.3515625 * std::exp2(position));
    };
    updateDial(frequencyAt(3.0 - 0.07), true, listed);
    EXPECT_EQ(dialState().reading, DialReading::Needle);
    EXPECT_LT(dialState().readingAngle, 0);
    updateDial(frequencyAt(6.0 + 0.07), true, listed);
    EXPECT_EQ(dialState().reading, DialReading::Needle);
    EXPECT_GT(dialState().readingAngle, 3072);
    updateDial(frequencyAt(6.0 + 0.09), true, listed);
    EXPECT_EQ(dialState().reading, DialReading::High);
}

TEST_F(DialTest, MarkerShowsTheListedPeriodWithOrWithoutTheNeedle) {
    updateDial(22050.0f, false, listed);  // nothing listed: nothing drawn
    EXPECT_EQ(countPixels(InkLayer), 0);
    listed = listedAt(200.0f);  // 110.25 Hz, near A 2
    updateDial(300.0f, false, listed);
    EXPECT_EQ(dialState().reading, DialReading::None);
    EXPECT_EQ(countPixels(InkLayer), countPixels(InkLayer, blue));
    const auto [x, y] = pointOf(22050.0f / 200.0f);
    EXPECT_EQ(ink(x, y), blue);
    resetLayers();
    setupInstrument(InstrumentKind::Violin);  // from C3: 110 Hz is off the dial
    updateDial(440.0f, false, listed);
    EXPECT_EQ(countPixels(InkLayer), 0);
}

TEST_F(DialTest, HighlightCircleOncePerNewlyListedPeriod) {
    listed = listedAt(200.0f);
    const float frequency = 22050.0f / 200.0f;
    updateDial(frequency, true, listed);
    const auto [x, y] = pointOf(frequency);
    EXPECT_EQ(ink(x + 12, y), yellow);  // radius 12 round the needle's disc
    EXPECT_EQ(ink(x, y), green);        // the needle covers the marker at the same pitch
    EXPECT_EQ(dialState().lastMarkedPeriod, 200.0f);
    EXPECT_EQ(displayState().inkColour, yellow);  // left at the last colour set

    setupInstrument(InstrumentKind::Cello);  // a mode change does not forget the period
    updateDial(frequency, true, listed);
    EXPECT_EQ(countPixels(InkLayer, yellow), 0);
    EXPECT_GT(countPixels(InkLayer, green), 0);
    EXPECT_EQ(displayState().inkColour, green);

    listed = listedAt(150.0f);
    resetLayers();
    updateDial(frequency, true, listed);
    EXPECT_GT(countPixels(InkLayer, yellow), 0);
    EXPECT_EQ(dialState().lastMarkedPeriod, 150.0f);
}

// ---- The phase-portrait trace.

class TracePhaseTest : public ::testing::Test {
  protected:
    void SetUp() override { startTunerModules(); }
    void TearDown() override { resetDisplay(); }
    void trace(const std::vector<int16_t>& block, bool backlog = false) const {
        drawTrace(block.data(), static_cast<int32_t>(block.size()), backlog, listed.period);
    }
    ListedPitch listed{0.0, 0.0};
    // The lit x positions of row y.
    static std::vector<int32_t> litInRow(int32_t y) {
        std::vector<int32_t> xs;
        for (int32_t x = 0; x < 240; ++x)
            if (InkLayer.pixels[y * 240 + x] != 0) xs.push_back(x);
        return xs;
    }
    static std::vector<int16_t> ramp(int32_t from, int32_t count) {
        std::vector<int16_t> block(count);
        for (int32_t i = 0; i < count; ++i)
            block[i] = static_cast<int16_t>(from + i);
        return block;
    }
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
        trace(ramp(next, length));
        next += length;
    }
    for (int32_t row = 0; row < next / 4; ++row) {
        std::vector<int32_t> expected;
        for (int32_t k = 4 * row; k < 4 * row + 4; ++k) {
            const int32_t x = k < 50 ? 0 : (k - 50) >> 2;
            if (std::find(expected.begin(), expected.end(), x) == expected.end())
                expected.push_back(x);
        }
        EXPECT_EQ(litInRow(row), expected) << row;
    }
}

TEST_F(TracePhaseTest, DelayBecomesAQuarterOfTheListedPeriodFromTheNextBlock) {
    listed = listedAt(160.0f);
    std::vector<int16_t> sine(220 * 2);
    constexpr double amplitude = 30000.0;
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<int16_t>(amplitude * std::sin(2.0 * std::numbers::pi * i / 160.0));
    trace({sine.begin(), sine.begin() + 220});
    EXPECT_EQ(traceState().traceDelay, 40);
    // From the next block on a quarter period separates x and y: a circle of radius
    // amplitude / 1024 round the origin, up to the rounding of the two shifts.
    resetLayers();
    trace({sine.begin() + 220, sine.end()});
    const double radius = amplitude / 1024.0;
    int32_t minX = 240, maxX = 0, minY = 320, maxY = 0;
    for (const auto& [x, y] : litPixels(InkLayer)) {
        EXPECT_NEAR(std::hypot(x - 117 + 0.5, y - 128 + 0.5), radius, 1.5) << x << ", " << y;
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y),
        maxY = std::max(maxY, y);
    }
    EXPECT_NEAR(maxX - minX, 2 * radius, 2);  // a full circle, not a slanted line
    EXPECT_GE(maxY - minY, 2 * radius - 2);
}

// 11.9 / 4 truncates to 2: too short; 12 / 4 = 3 is taken. The longest listed period
// gives 172, not below the block length but below a block of 172; without the automatic
// delay it never changes.
TEST_F(TracePhaseTest, DelayChangesOnlyForQuarterPeriodsFromThreeToTheBlockLength) {
    const std::vector<int16_t> silence(220, 0);
    listed = listedAt(11.9f);
    trace(silence);
    EXPECT_EQ(traceState().traceDelay, 50);
    listed = listedAt(12.0f);
    trace(silence);
    EXPECT_EQ(traceState().traceDelay, 3);
    listed = listedAt(689.0f);
    trace(std::vector<int16_t>(172, 0));
    EXPECT_EQ(traceState().traceDelay, 3);
    trace(silence);
    EXPECT_EQ(traceState().traceDelay, 172);
    setTraceAutoDelay(false);
    listed = listedAt(160.0f);
    trace(silence);
    EXPECT_EQ(traceState().traceDelay, 172);
}

TEST_F(TracePhaseTest, BacklogDrawsNothingButFollowsTheSound) {
    setTraceOrigin(0, 0, 0);
    listed = listedAt(160.0f);
    trace(ramp(0, 220), true);
    EXPECT_EQ(countPixels(InkLayer), 0);
    EXPECT_EQ(traceState().traceDelay, 40);
    // The history is the block's last 41 samples, ready for the next block.
    EXPECT_EQ(traceState().traceHistory[0], 179);
    EXPECT_EQ(traceState().traceHistory[40], 219);
    trace(ramp(220, 60));
    EXPECT_EQ(litInRow(220), std::vector<int32_t>{180});
}

}  // namespace
}  // namespace veldra
