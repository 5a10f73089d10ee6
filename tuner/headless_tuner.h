// The tuner without a window system: the program's whole start-up (tuner_startup.h) on a
// headless window, without capture, so that the blocks handed to analyzeBlock afterwards
// draw what the program's window would show. How veldra-file, the instruction budget, the
// benchmarks, the fuzzers and the tests run the tuner.
//
// Thread: main thread only.
#pragma once

#include "platform/screen/screen.h"

namespace veldra {

// resetTuner, then the whole start-up on window (placed at the plot rectangle), in the
// start-up state, over the dial's background picture (views/pictures.h), or over
// background. False when the headless display cannot be opened.
bool startHeadlessTuner(HeadlessWindow& window);
bool startHeadlessTuner(HeadlessWindow& window, const Bitmap& background);

// A headless screen of its own with a window on it, for the tuner to draw into.
struct HeadlessTuner {
    HeadlessScreen screen;
    HeadlessWindow window{screen};

    HeadlessTuner() = default;
    HeadlessTuner(const HeadlessTuner&) = delete;  // the window points at this screen
    HeadlessTuner& operator=(const HeadlessTuner&) = delete;

    // startHeadlessTuner on this window, put back where a new window starts first so that
    // every start is the same (the start-up places it at its plot rectangle).
    bool start() {
        window.place(defaultWindowRect);
        return startHeadlessTuner(window);
    }
};

}  // namespace veldra
