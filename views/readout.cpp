#include "views/readout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "display/display.h"
#include "platform/fonts/fonts.h"
#include "views/note_reading.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

constexpr ColourRef ringOrange = colourRefFromRgb565(scaleColour);
constexpr int32_t inTune = 5;  // whole cents: the needle's green within, the rings' orange beyond

// The words, over the fine meter: the note and the cents' number large, on one baseline
// (their capitals reach 22 rows above it); the frequency small at the top right; the
// string's line small below them.
constexpr int32_t largeBaseline = 25;
constexpr int32_t hertzTop = 0;
constexpr int32_t stringTop = 27;
constexpr int32_t margin = 6;
constexpr int32_t detailLeft = 82;  // where the cents and the string start, right of the note
constexpr int32_t labelGap = 4;     // between the cents' number and its word

// The fine meter, in the rows below the words.
constexpr int32_t meterReach = 50;                      // cents either side of the note
constexpr int32_t meterCentre = readoutWidth / 2;       // x of 0 cents
constexpr int32_t meterPixelsPerCent = 2;               // -50..+50 cents over x 20..220
constexpr int32_t meterTop = 45;                        // below the string's descenders
constexpr int32_t meterBottom = readoutHeight - 2;      // exclusive; the needle's full height
constexpr int32_t tickHeight = 6, longTickHeight = 10;  // every 5 cents, every 10
constexpr int32_t needleHalfWidth = 1;                  // the needle is 3 pixels wide
constexpr uint16_t zoneGreen = rgb565FromColourRef(0x006000);
constexpr uint16_t baselineGrey = rgb565FromColourRef(0x808080);

ColourRef centsColour(bool inTuneNow) {
    return inTuneNow ? needleColour : ringOrange;
}

// Over the black the strip was cleared to: lines whose boxes overlap keep each other's ink.
void line(const PixelCanvas& strip, const GlyphFont& font, const char* text, int32_t x, int32_t y,
          ColourRef colour) {
    drawTextLineOver(strip, font, text, x, y, colour);
}

// A sentence in the middle of the strip, broken into lines where it does not fit; one too
// long for the strip starts at its top.
void sentence(const PixelCanvas& strip, const GlyphFont& font, const char* text, const Rect& area) {
    const int32_t height = textHeight(font, text, readoutWidth, true, true);
    const Rect box{area.left, area.top + std::max(0, (readoutHeight - height) / 2), area.right,
                   area.bottom};
    drawText(strip, font, text, box, textCentre | textWordBreak | textBreakLongWords, colourWhite,
             colourBlack);
}

// The cents shown as whole cents, rounded as centsText rounds them: the colour and the
// meter follow the number, not the fraction behind it, so "-5" is never orange.
long wholeCents(double cents) {
    return std::lround(cents);
}

int32_t meterX(int32_t left, int32_t cents) {
    return left + meterCentre + cents * meterPixelsPerCent;
}

void drawMeter(const PixelCanvas& strip, const ReadoutWords& w) {
    const int32_t top = strip.clip.top, left = strip.clip.left;
    fillRect(strip,
             {meterX(left, -inTune), top + meterTop, meterX(left, inTune) + 1, top + meterBottom},
             zoneGreen);
    fillRect(strip,
             {meterX(left, -meterReach), top + meterBottom - 1, meterX(left, meterReach) + 1,
              top + meterBottom},
             baselineGrey);
    for (int32_t cents = -meterReach; cents <= meterReach; cents += 5) {
        const int32_t height = cents % 10 == 0 ? longTickHeight : tickHeight;
        const int32_t x = meterX(left, cents);
        fillRect(strip, {x, top + meterBottom - height, x + 1, top + meterBottom},
                 rgb565FromColourRef(colourWhite));
    }
    const int32_t x = meterX(left, w.meterCents);
    fillRect(strip,
             {x - needleHalfWidth, top + meterTop, x + needleHalfWidth + 1, top + meterBottom},
             rgb565FromColourRef(centsColour(w.centsInTune)));
}

void drawReading(const PixelCanvas& strip, const ReadoutFonts& fonts, const ReadoutWords& w) {
    const int32_t top = strip.clip.top, left = strip.clip.left;
    const int32_t largeTop = top + largeBaseline - fonts.note->ascent;
    line(strip, *fonts.note, w.note, left + margin, largeTop, colourWhite);
    drawMeter(strip, w);
    // The cents' number as large as the note, to be read from a music stand; its word small
    // on the same baseline.
    const std::string_view cents = w.cents;
    const size_t space = cents.find(' ');
    char number[sizeof w.cents] = {};
    cents.copy(number, std::min(space, sizeof number - 1));
    const ColourRef centsShade = centsColour(w.centsInTune);
    line(strip, *fonts.note, number, left + detailLeft, largeTop, centsShade);
    line(strip, *fonts.text, space == std::string_view::npos ? "" : w.cents + space + 1,
         left + detailLeft + textWidth(*fonts.note, number) + labelGap,
         top + largeBaseline - fonts.text->ascent, centsShade);
    line(strip, *fonts.text, w.hertz,
         left + readoutWidth - margin - textWidth(*fonts.text, w.hertz), top + hertzTop,
         colourWhite);
    if (w.string[0] == '\0') return;
    const int32_t lower = top + stringTop;
    line(strip, *fonts.text, w.string, left + detailLeft, lower, colourWhite);
    line(strip, *fonts.text, w.stringCents,
         left + readoutWidth - margin - textWidth(*fonts.text, w.stringCents), lower,
         centsColour(w.stringCentsInTune));
}

}  // namespace

Readout failedInputReadout(std::string_view reason) {
    Readout r{ReadoutKind::InputFailed};
    size_t kept = std::min(reason.size(), readoutReasonCapacity - 1);
    while (kept < reason.size() && kept > 0 &&
           (static_cast<unsigned char>(reason[kept]) & 0xC0) == 0x80)
        --kept;  // not inside a UTF-8 character
    std::copy_n(reason.data(), kept, r.reason);
    return r;
}

ReadoutWords wordReadout(const Readout& readout) {
    ReadoutWords w;
    w.kind = readout.kind;
    if (readout.kind == ReadoutKind::InputFailed)
        std::snprintf(w.reason, sizeof w.reason, "%s", readout.reason);
    if (readout.kind != ReadoutKind::Reading) return w;
    const NoteReading note = nameNote(readout.frequency);
    std::snprintf(w.note, sizeof w.note, "%s", note.name);
    char cents[8];
    centsText(note.cents, cents);
    std::snprintf(w.cents, sizeof w.cents, "%s cents", cents);
    w.meterCents = static_cast<int32_t>(
        std::clamp(wholeCents(note.cents), -long{meterReach}, long{meterReach}));
    w.centsInTune = std::labs(wholeCents(note.cents)) <= inTune;
    std::snprintf(w.hertz, sizeof w.hertz, "%.1f Hz", static_cast<double>(readout.frequency));
    const StringMatch string = nearestString(readout.mode, readout.frequency);
    if (!string.found) return w;
    std::snprintf(w.string, sizeof w.string, "string %d, %s:", string.number, string.name);
    centsText(string.cents, w.stringCents);
    w.stringCentsInTune = std::labs(wholeCents(string.cents)) <= inTune;
    return w;
}

void drawReadout(const PixelCanvas& strip, const ReadoutFonts& fonts, const ReadoutWords& words) {
    const Rect area{strip.clip.left, strip.clip.top, strip.clip.left + readoutWidth,
                    strip.clip.top + readoutHeight};
    fillRect(strip, area, rgb565FromColourRef(colourBlack));
    switch (words.kind) {
        case ReadoutKind::Empty:
            return;
        case ReadoutKind::Reading:
            drawReading(strip, fonts, words);
            return;
        case ReadoutKind::Paused:
            sentence(strip, *fonts.text, "paused:\nclick or press Space to tune", area);
            return;
        case ReadoutKind::InputLost:
            sentence(strip, *fonts.text, "input lost, retrying", area);
            return;
        case ReadoutKind::InputEnded:
            sentence(strip, *fonts.text, "input lost:\nit cannot be read further", area);
            return;
        case ReadoutKind::InputFailed: {
            char text[readoutReasonCapacity + 24] = "sound input failed";
            if (words.reason[0] != '\0')
                std::snprintf(text, sizeof text, "sound input failed: %s", words.reason);
            sentence(strip, *fonts.text, text, area);
            return;
        }
    }
}

void drawReadout(const PixelCanvas& strip, const ReadoutFonts& fonts, const Readout& readout) {
    drawReadout(strip, fonts, wordReadout(readout));
}

void drawReadoutStrip(uint16_t* pixels, const ReadoutWords& words) {
    const BuiltInFonts& fonts = builtInFonts();
    drawReadout({pixels, 1, readoutWidth, {0, 0, readoutWidth, readoutHeight}},
                {&fonts.readoutNote, &fonts.readoutText}, words);
}

void drawReadoutStrip(uint16_t* pixels, const Readout& readout) {
    drawReadoutStrip(pixels, wordReadout(readout));
}

}  // namespace veldra
