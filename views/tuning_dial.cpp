#include "views/tuning_dial.h"

#include <cmath>

#include "display/display.h"
#include "views/player_choices.h"

namespace veldra {
namespace {

constexpr DialState startState() {
    DialState s{};
    s.lowOctave = 3;
    s.octaveSpan = dialOctaveSpan;
    s.centreX = 120;
    s.centreY = 128;
    s.innerRadius = 50;
    s.outerRadius = 105;
    s.needlePen = PenInk;
    s.scalePen = PenScale;
    s.scaleErasePen = PenScaleErase;
    s.reading = DialReading::None;
    return s;
}

DialState state = startState();

// Where the octave digits go: right of the letters C printed at the spiral's ends.
constexpr int32_t startDigitX = 120, startDigitY = 95;
constexpr int32_t endDigitX = 126, endDigitY = 8;

// String ring: radii 5..8 round a see-through hole of radius 4, which a pitch disc fills.
constexpr int32_t ringInner = 5, ringOuter = 8, ringHole = 4;
constexpr int32_t discRadius = 4;
constexpr int32_t highlightRadius = 12;
constexpr double semitone = 1.0 / 12.0;  // octaves; how far beyond the dial a needle may go

constexpr int32_t angleLimit = 1 << 20;  // 1024 octaves: far beyond any pitch the tuner hears

constexpr uint32_t markerColour = 0xFF4F47;     // blue (71, 79, 255), 0x00BBGGRR
constexpr uint32_t highlightColour = 0x0FFFFF;  // yellow (255, 255, 15)

void setColour(int32_t pen, uint32_t colour) {
    setInkColour(pen, static_cast<int32_t>(colour & 0xFF),
                 static_cast<int32_t>((colour >> 8) & 0xFF), static_cast<int32_t>(colour >> 16));
}

// Pixels from one turn to the next.
int32_t turnSpacing(const DialState& s) {
    return (s.outerRadius - s.innerRadius) / s.octaveSpan;
}

struct ScreenPoint {
    int32_t x, y;
};

// A disc on the spiral and a stroke almost one turn-spacing outward; returns the disc's centre.
ScreenPoint drawMark(const DialState& s, PitchPosition p) {
    const int32_t a = angleIndex(p);
    ScreenPoint p0, p1;
    dialPoint(a, 0, p0.x, p0.y);
    const int32_t w = turnSpacing(s);
    dialPoint(a, w - (w >> 4), p1.x, p1.y);
    drawRing(s.needlePen, p0.x, p0.y, 0, discRadius);
    drawLine(s.needlePen, p0.x, p0.y, p1.x, p1.y);
    return p0;
}

bool onDial(const DialState& s, PitchPosition p) {
    const double v = static_cast<double>(p);
    return v > s.lowOctave - semitone && v < s.lowOctave + s.octaveSpan + semitone;
}

// A small triangle pointing away from the dial (direction -1: left, +1: right), its tip
// 12 pixels from (x, y).
void drawArrow(int32_t pen, int32_t x, int32_t y, int32_t direction) {
    const int32_t tip = x + 12 * direction, base = x + 8 * direction;
    drawLine(pen, tip, y, base, y - 4);
    drawLine(pen, tip, y, base, y + 4);
    drawLine(pen, base, y + 4, base, y - 4);
}

}  // namespace

void setDialGeometry(int32_t centreX, int32_t centreY, int32_t innerRadius, int32_t outerRadius) {
    state.centreX = centreX;
    state.centreY = centreY;
    state.innerRadius = innerRadius;
    state.outerRadius = outerRadius;
}

void setupInstrument(InstrumentKind kind) {
    const ModeEntry* mode = modeEntry(kind);
    if (mode == nullptr) return;
    const Tuning* tuning = playedTuning(kind);
    configureDial(mode->lowOctave, dialOctaveSpan, tuning->strings, tuning->stringCount);
}

void configureDial(int32_t lowOctave, int32_t octaveSpan, const PitchPosition* positions,
                   int32_t count) {
    if (octaveSpan < 1) return;  // the spacing of the turns divides by it
    state.lowOctave = lowOctave;
    state.octaveSpan = octaveSpan;
    state.stringPositions = positions;
    state.stringCount = count;
    resetLayers();
    drawDialScale();
}

void drawDialScale() {
    const DialState& s = state;
    for (int32_t i = 0; i < s.stringCount; ++i) {
        int32_t x, y;
        dialPoint(angleIndex(s.stringPositions[i]), 0, x, y);
        drawRing(s.scalePen, x, y, ringInner, ringOuter);
        drawRing(s.scaleErasePen, x, y, 0, ringHole);
    }
    const char startDigit[2] = {static_cast<char>('0' + s.lowOctave), '\0'};
    drawText(s.scalePen, startDigit, startDigitX, startDigitY);
    const char endDigit[2] = {static_cast<char>('0' + s.lowOctave + s.octaveSpan), '\0'};
    drawText(s.scalePen, endDigit, endDigitX, endDigitY);
}

int32_t angleIndex(PitchPosition p) {
    float a = (p - static_cast<float>(state.lowOctave)) * 1024.0f;
    // Written as "not inside" so that NaN is held too instead of reaching the conversion.
    if (!(a > -angleLimit)) a = -angleLimit;
    if (a > angleLimit) a = angleLimit;
    return static_cast<int32_t>(a);
}

void dialPoint(int32_t a, int32_t radialOffset, int32_t& x, int32_t& y) {
    const DialState& s = state;
    // (a x w) >> 10 is a x w / 1024 rounded toward minus infinity, so the radius keeps
    // shrinking smoothly for the slightly negative a just below the spiral's start.
    const int32_t d = s.innerRadius + ((a * turnSpacing(s)) >> 10) + radialOffset;
    // 1280 is the top (a quarter turn on from 3 o'clock); growing a turns clockwise, and a
    // negative a, taken as two's complement, continues the spiral backward.
    const uint32_t t = 1280u - (static_cast<uint32_t>(a) & 1023u);
    x = s.centreX + ((d * cos1024(t)) >> 10);
    y = s.centreY - ((d * sin1024(t)) >> 10);
}

PitchPosition pitchPositionFromFrequency(float frequency) {
    // ln 2 is taken once and kept in single precision, as the results are calibrated to
    // that slightly short value (440 Hz gives 4.750003, not 4.75).
    static const float ln2 = static_cast<float>(std::log(2.0));
    const double octaves = std::log(static_cast<double>(frequency) * 0.061156235069278544) /
                           static_cast<double>(ln2);  // 0.0611... = 1 / 16.3515625 Hz (C0)
    return static_cast<float>(octaves);
}

void updateDial(float frequency, bool showNeedle, const ListedPitch& listed) {
    DialState& s = state;
    // Pitches heard against the chosen A4 stand where the scale's own would put them; the
    // ratio is exactly 1 for the scale's own, which leaves every value as it was.
    const double ratio = referenceRatio();
    if (static_cast<float>(listed.period) != 0.0f) {
        const PitchPosition p =
            pitchPositionFromFrequency(static_cast<float>(listed.frequency / ratio));
        if (onDial(s, p)) {
            setColour(s.needlePen, markerColour);
            drawMark(s, p);
        }
    }

    s.reading = DialReading::None;
    s.readingAngle = 0;
    if (!showNeedle) return;
    setColour(s.needlePen, needleColour);
    const PitchPosition p = pitchPositionFromFrequency(static_cast<float>(frequency / ratio));
    if (static_cast<double>(p) < s.lowOctave - semitone) {
        drawArrow(s.needlePen, s.centreX, s.centreY - s.innerRadius, -1);
        s.reading = DialReading::Low;
    } else if (static_cast<double>(p) > s.lowOctave + s.octaveSpan + semitone) {
        drawArrow(s.needlePen, s.centreX, s.centreY - s.outerRadius, +1);
        s.reading = DialReading::High;
    } else {
        const ScreenPoint p0 = drawMark(s, p);
        s.reading = DialReading::Needle;
        s.readingAngle = angleIndex(p);
        const double r = listed.period;
        if (r != static_cast<double>(s.lastMarkedPeriod)) {
            setColour(s.needlePen, highlightColour);
            s.lastMarkedPeriod = static_cast<float>(r);
            drawCircle(s.needlePen, p0.x, p0.y, highlightRadius);
        }
    }
}

const DialState& dialState() {
    return state;
}

void resetDial() {
    state = startState();
}

}  // namespace veldra
