#include "app/desktop_readout.h"

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

}  // namespace

void showDesktopReadout(const Readout& readout) {
    state.shown = readout;
    // Most refreshes move the reading by less than the strip shows: nothing to draw then.
    const ReadoutWords words = wordReadout(readout);
    if (state.drawn && words == state.words) return;
    state.words = words;
    drawReadoutStrip(state.pixels, words);
    state.drawn = true;
    showReadout(state.pixels);
}

const Readout& desktopReadout() {
    return state.shown;
}

void resetDesktopReadout() {
    state = ReadoutState{};
}

}  // namespace veldra
