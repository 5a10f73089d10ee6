#include "views/readout.h"

#include <cmath>
#include <cstdio>

#include "display/display.h"
#include "views/note_reading.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

constexpr ColourRef ringOrange = colourRefFromRgb565(scaleColour);
constexpr double inTune = 5.0;  // cents: the needle's green within, the rings' orange beyond

constexpr int32_t margin = 6;
constexpr int32_t detailLeft = 82;  // where the cents and the string start, right of the note

ColourRef centsColour(double cents) {
    return std::fabs(cents) <= inTune ? needleColour : ringOrange;
}

void line(const PixelCanvas& strip, const GlyphFont& font, const char* text, int32_t x, int32_t y,
          ColourRef colour) {
    drawTextLine(strip, font, text, x, y, colour, colourBlack);
}

// A sentence in the middle of the strip, broken into lines where it does not fit.
void sentence(const PixelCanvas& strip, const GlyphFont& font, const char* text, const Rect& area) {
    const int32_t height = textHeight(font, text, readoutWidth, true);
    const Rect box{area.left, area.top + (readoutHeight - height) / 2, area.right, area.bottom};
    drawText(strip, font, text, box, textCentre | textWordBreak, colourWhite, colourBlack);
}

void drawReading(const PixelCanvas& strip, const ReadoutFonts& fonts, const Readout& r) {
    const NoteReading note = nameNote(r.frequency);
    const int32_t top = strip.clip.top, left = strip.clip.left;
    line(strip, *fonts.note, note.name, left + margin,
         top + (readoutHeight - fonts.note->lineHeight) / 2, colourWhite);

    char cents[8], text[40];
    centsText(note.cents, cents);
    std::snprintf(text, sizeof text, "%s cents", cents);
    const int32_t upper = top + readoutHeight / 2 - fonts.text->lineHeight;
    const int32_t lower = top + readoutHeight / 2;
    line(strip, *fonts.text, text, left + detailLeft, upper, centsColour(note.cents));
    std::snprintf(text, sizeof text, "%.1f Hz", static_cast<double>(r.frequency));
    line(strip, *fonts.text, text, left + readoutWidth - margin - textWidth(*fonts.text, text),
         upper, colourWhite);

    const StringMatch string = nearestString(r.mode, r.frequency);
    if (!string.found) return;
    std::snprintf(text, sizeof text, "string %d, %s:", string.number, string.name);
    line(strip, *fonts.text, text, left + detailLeft, lower, colourWhite);
    centsText(string.cents, cents);
    line(strip, *fonts.text, cents, left + readoutWidth - margin - textWidth(*fonts.text, cents),
         lower, centsColour(string.cents));
}

}  // namespace

void drawReadout(const PixelCanvas& strip, const ReadoutFonts& fonts, const Readout& readout) {
    const Rect area{strip.clip.left, strip.clip.top, strip.clip.left + readoutWidth,
                    strip.clip.top + readoutHeight};
    fillRect(strip, area, rgb565FromColourRef(colourBlack));
    switch (readout.kind) {
        case ReadoutKind::Empty:
            return;
        case ReadoutKind::Reading:
            drawReading(strip, fonts, readout);
            return;
        case ReadoutKind::Paused:
            sentence(strip, *fonts.text, "paused:\nclick or press Space to tune", area);
            return;
        case ReadoutKind::InputLost:
            sentence(strip, *fonts.text, "input lost, retrying", area);
            return;
    }
}

}  // namespace veldra
