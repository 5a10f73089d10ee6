#include "app/desktop_readout.h"

#include "platform/fonts/fonts.h"
#include "platform/windows/windows.h"

namespace veldra {
namespace {

struct ReadoutState {
    Readout shown;       // what the strip shows; written by showDesktopReadout
    bool drawn;          // the strip has been drawn and handed over at least once
    ReadoutWords words;  // what the strip says: equal words, equal pixels
    uint16_t pixels[readoutWidth * readoutHeight];  // the strip, RGB565
};

ReadoutState state{};

void drawStrip(uint16_t* pixels, const ReadoutWords& words) {
    const BuiltInFonts& fonts = builtInFonts();
    drawReadout({pixels, 1, readoutWidth, {0, 0, readoutWidth, readoutHeight}},
                {&fonts.readoutNote, &fonts.readoutText}, words);
}

}  // namespace

void showDesktopReadout(const Readout& readout) {
    state.shown = readout;
    // Most refreshes move the reading by less than the strip shows: nothing to draw then.
    const ReadoutWords words = wordReadout(readout);
    if (state.drawn && words == state.words) return;
    state.words = words;
    drawStrip(state.pixels, words);
    state.drawn = true;
    showReadout(state.pixels);
}

void drawReadoutStrip(uint16_t* pixels, const Readout& readout) {
    drawStrip(pixels, wordReadout(readout));
}

const Readout& desktopReadout() {
    return state.shown;
}

void resetDesktopReadout() {
    state = ReadoutState{};
}

}  // namespace veldra
