// The readout: what the dial shows, in words and numbers, for a strip below the handheld's
// screen (in the desktop window, and in the browser): the note and its octave and the cents
// from the nearest note large; in a mode with strings the nearest open string and the
// cents from it, as veldra-file's table says them; the frequency. Below the words a fine
// meter: the cents from the note from -50 to +50, two pixels a cent, a tick every 5 cents
// (taller every 10), the in-tune zone (within 5 cents) in dark green behind its needle.
// Cents within 5 of their target, as whole cents shown, are drawn in the needle's green,
// beyond in the rings' orange (the meter's needle likewise), the rest in white on black.
// When the dial shows no needle the strip is empty; when the tuner is paused or its input
// is lost it says so, so that a still picture never looks live; when no input would open
// it says why, for a player who started the program from a menu and never sees its
// standard error.
//
// Drawn into memory with the built-in fonts by this one piece of code on every platform;
// the platform shows the memory.
//
// Thread: main thread only (it draws what the tuner last showed). No allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/canvas/canvas.h"
#include "views/instrument_catalogue.h"

namespace veldra {

// The strip's size in the handheld's pixels: as wide as the screen, as tall as the note and
// the cents, the string's line and the fine meter below them.
inline constexpr int32_t readoutWidth = 240;
inline constexpr int32_t readoutHeight = 64;

enum class ReadoutKind : int32_t {
    Empty,        // the dial shows no needle
    Reading,      // the dial shows the needle (or an arrow) at frequency
    Paused,       // the tuner waits for a tap or a key
    InputLost,    // the sound input is gone; the tuner tries again
    InputEnded,   // the sound input is gone for good (a file that cannot be read further)
    InputFailed,  // no sound input would open; reason says why
};

// Bytes of a failed input's reason the readout keeps, its closing 0 included: the strip
// holds about this much, and standard error and the failure box have all of it.
inline constexpr size_t readoutReasonCapacity = 120;

struct Readout {
    ReadoutKind kind = ReadoutKind::Empty;
    float frequency = 0.0f;                        // Hz, for Reading (steadied by the tuner)
    InstrumentKind mode = InstrumentKind::Guitar;  // whose strings are named
    char reason[readoutReasonCapacity] = {};       // for InputFailed: why, cut to fit

    bool operator==(const Readout&) const = default;
};

// The readout of an input that would not open, saying why (cut at a character's start
// where it does not fit).
Readout failedInputReadout(std::string_view reason);

struct ReadoutFonts {
    const GlyphFont* note;  // the note, at least 20 pixels tall
    const GlyphFont* text;  // everything else
};

// The readout as the strip words it: two readouts whose words are equal draw the same
// pixels, so a caller can skip drawing a reading that moved less than the strip shows.
struct ReadoutWords {
    ReadoutKind kind = ReadoutKind::Empty;
    char note[4] = {};         // "A 2"
    char cents[16] = {};       // "+4 cents"
    char hertz[16] = {};       // "110.3 Hz"
    char string[32] = {};      // "string 2, A 2:", empty in a mode without strings
    char stringCents[8] = {};  // "+4"
    bool centsInTune = false;  // the whole cents shown within 5 of the note
    bool stringCentsInTune = false;
    int32_t meterCents = 0;  // where the fine meter's needle stands: the cents shown, -50..50
    char reason[readoutReasonCapacity] = {};  // for InputFailed

    bool operator==(const ReadoutWords&) const = default;
};
ReadoutWords wordReadout(const Readout& readout);

// Draws the readout over the whole canvas (readoutWidth x readoutHeight from its clip's
// top-left corner).
void drawReadout(const PixelCanvas& strip, const ReadoutFonts& fonts, const ReadoutWords& words);
void drawReadout(const PixelCanvas& strip, const ReadoutFonts& fonts, const Readout& readout);

// The strip as the window shows it: readoutWidth x readoutHeight RGB565 pixels at pixels,
// row-major, in the built-in fonts. Allocates nothing.
void drawReadoutStrip(uint16_t* pixels, const ReadoutWords& words);
void drawReadoutStrip(uint16_t* pixels, const Readout& readout);

}  // namespace veldra
