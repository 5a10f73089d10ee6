// The tuning dial: pitch on a spiral of one clockwise turn per octave, three octaves,
// starting at the top.
//
// The spiral itself, with its ticks and letters, is printed on the background picture;
// this module draws on top of it:
//   per mode (configureDial), into ScaleLayer: a ring on the spiral at each open string
//     of the tuning played (player_choices.h),
//     with a see-through hole that the pitch disc fills exactly, and the octave digits
//     of the spiral's start and end, beside the picture's two letters C;
//   per refresh (updateDial), into InkLayer, which fades: a blue marker at the most
//     recent listed period, the green needle at the current pitch (or an arrow at the
//     spiral's start or end when the pitch lies more than a semitone beyond the dial),
//     and a yellow circle round the needle when a new period has been listed. The dial
//     is handed both pitches; it reads nothing of the analysis itself. Against a chosen
//     A4 of R Hz a pitch f stands where the scale's own A4 puts f x 439.96 / R, so the
//     rings stay put and the needle reads the player's reference.
//
// Positions on the dial are angle indexes: 1/1024 octave steps from lowOctave, so 0 is
// the spiral's start and 3072 its end. dialPoint turns one into a screen point with
// integer arithmetic only (radius floored, coordinates shifted right by 10).
//
// Units: pixels of the drawing area (x right, y down); frequencies in Hz (float);
// pitch positions in octaves above C0 (float).
// Thread: main thread only; the set-up from the shell, updateDial from analyzeBlock.
#pragma once

#include <cstdint>

#include "views/instrument_catalogue.h"

namespace veldra {

// The needle's colour as a colour reference (0x00BBGGRR): green, (95, 255, 95). The
// readout shows cents near the target in it.
inline constexpr uint32_t needleColour = 0x5FFF5F;

// What the last updateDial showed for the current pitch (for tools and tests).
enum class DialReading : int32_t {
    None = 0,    // no needle: the pitch is not stable
    Low = 1,     // the low arrow: more than a semitone below the dial
    High = 2,    // the high arrow: more than a semitone above the dial
    Needle = 3,  // the needle, at readingAngle
};

// All of the dial's state.
struct DialState {
    int32_t lowOctave;   // octave at the spiral's inner start; set by configureDial
    int32_t octaveSpan;  // turns shown; configureDial, always 3
    int32_t centreX;     // spiral centre; setDialGeometry
    int32_t centreY;
    int32_t innerRadius;                   // radius at lowOctave; setDialGeometry
    int32_t outerRadius;                   // radius at lowOctave + octaveSpan; setDialGeometry
    int32_t needlePen;                     // markers, needle, arrows, circle: PenInk
    int32_t scalePen;                      // string rings and octave digits: PenScale
    int32_t scaleErasePen;                 // the see-through hole in a ring: PenScaleErase
    const PitchPosition* stringPositions;  // the mode's open strings (not owned); configureDial
    int32_t stringCount;                   // entries in stringPositions
    float lastMarkedPeriod;                // recent period of the last highlight circle; updateDial
    DialReading reading;                   // what the last updateDial showed for the pitch
    int32_t readingAngle;                  // its angle index when reading is Needle, else 0
};

// Stores the spiral's centre and radii (the shell: 120, 128, 40, 106).
void setDialGeometry(int32_t centreX, int32_t centreY, int32_t innerRadius, int32_t outerRadius);

// Sets the dial up for a mode: its lowest octave, 3 turns and the open strings of the
// tuning played, from the catalogue. A kind outside 0..7 changes nothing.
void setupInstrument(InstrumentKind kind);

// Stores the range and the strings (positions must outlive the dial's use), rebuilds the
// layers from the background (resetLayers) and draws the scale. A span below 1 is
// refused: nothing changes.
void configureDial(int32_t lowOctave, int32_t octaveSpan, const PitchPosition* positions,
                   int32_t count);

// The string rings and the two octave digits, into ScaleLayer.
void drawDialScale();

// (p - lowOctave) x 1024 in single precision, truncated toward zero. Pitches absurdly far
// off the dial are held at +-2^20 so that the conversion stays defined.
int32_t angleIndex(PitchPosition p);

// The screen point of angle index a, moved radialOffset pixels outward.
void dialPoint(int32_t a, int32_t radialOffset, int32_t& x, int32_t& y);

// log2(f / 16.3515625): octaves above C0 (440 Hz gives 4.750003). f must be positive.
PitchPosition pitchPositionFromFrequency(float frequency);

// The most recently listed note, as the analysis lists it.
struct ListedPitch {
    double period;     // samples; 0.0 while nothing is listed
    double frequency;  // the frequency that period stands for, Hz
};

// One refresh: the marker of the listed pitch, then, when showNeedle, the needle (or an
// arrow) at frequency and, when listed.period is new, the highlight circle. Draws into
// InkLayer only.
void updateDial(float frequency, bool showNeedle, const ListedPitch& listed);

// Read-only view for tools and tests.
const DialState& dialState();

// Puts the dial back to its start values (lowOctave 3, radii 50 and 105, no strings).
void resetDial();

}  // namespace veldra
