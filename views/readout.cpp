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
constexpr double inTune = 5.0;  // cents: the needle's green within, the rings' orange beyond

constexpr int32_t margin = 6;
constexpr int32_t detailLeft = 82;  // where the cents and the string start, right of the note

ColourRef centsColour(bool inTuneNow) {
    return inTuneNow ? needleColour : ringOrange;
}

void line(const PixelCanvas& strip, const GlyphFont& font, const char* text, int32_t x, int32_t y,
          ColourRef colour) {
    drawTextLine(strip, font, text, x, y, colour, colourBlack);
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

void drawReading(const PixelCanvas& strip, const ReadoutFonts& fonts, const ReadoutWords& w) {
    const int32_t top = strip.clip.top, left = strip.clip.left;
    line(strip, *fonts.note, w.note, left + margin,
         top + (readoutHeight - fonts.note->lineHeight) / 2, colourWhite);
    const int32_t upper = top + readoutHeight / 2 - fonts.text->lineHeight;
    const int32_t lower = top + readoutHeight / 2;
    line(strip, *fonts.text, w.cents, left + detailLeft, upper, centsColour(w.centsInTune));
    line(strip, *fonts.text, w.hertz,
         left + readoutWidth - margin - textWidth(*fonts.text, w.hertz), upper, colourWhite);
    if (w.string[0] == '\0') return;
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
    w.centsInTune = std::fabs(note.cents) <= inTune;
    std::snprintf(w.hertz, sizeof w.hertz, "%.1f Hz", static_cast<double>(readout.frequency));
    const StringMatch string = nearestString(readout.mode, readout.frequency);
    if (!string.found) return w;
    std::snprintf(w.string, sizeof w.string, "string %d, %s:", string.number, string.name);
    centsText(string.cents, w.stringCents);
    w.stringCentsInTune = std::fabs(string.cents) <= inTune;
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
