// The real program's window under test, on an Xvfb of the test's own: the program started
// with its window found, its picture polled until a check holds (the last picture saved to
// a PNG when it never does), and stylus taps and keys through xdotool.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/scratch_files.h"
#include "tests/support/xvfb_session.h"
#include "views/views.h"

namespace veldra {

using Picture = std::vector<uint16_t>;  // the window's picture (xvfb_session.h), RGB565

inline constexpr int clientTop = 26, clientBottom = 294;  // below the navigation bar
inline constexpr int stepTimeoutMs = 15000;  // generous: CI machines run tests side by side

class ProgramWindow {
  public:
    // Starts the program (arguments[0] is its path) on the session's display, x11 only and
    // never meeting a copy on the desktop the test was started from, at scale 2, its
    // settings in config (never the user's), with the extra environment; waits for its
    // window named title.
    ::testing::AssertionResult launch(const std::vector<std::string>& arguments,
                                      const std::vector<std::string>& extra,
                                      const std::string& title = "Veldra");
    ::testing::AssertionResult waitFor(const char* what,
                                       const std::function<bool(const Picture&)>& check);
    ::testing::AssertionResult tap(int x, int y);
    ::testing::AssertionResult key(const std::string& name);
    ::testing::AssertionResult xdo(const std::vector<std::string>& arguments);
    // Saves the last picture, doubled, as NAME.png in the folder VELDRA_SCREENSHOTS names
    // (nothing without it).
    void saveScreenshot(const std::string& name) const;

    XvfbSession session;
    ScratchFolder config;  // XDG_CONFIG_HOME: the settings the program keeps, run after run
    ChildProcess program;
    unsigned long window = 0;
    Picture last;  // the picture read last
};

// A whole screen drawn by draw onto black; whether two pictures agree in rows top..bottom;
// the navigation bar with title as the window system draws it.
Picture drawnScreen(const std::function<void(const PixelCanvas&)>& draw);
bool sameRows(const Picture& a, const Picture& b, int top, int bottom);
Picture navigationBarPicture(const std::string& title, bool done);

// An instrument's information text on black, with its OK band, as the program shows it.
Picture informationPicture(const std::string& text);

// The readout strip as the shared renderer draws it, and whether a window's picture shows
// exactly that below its screen.
Picture readoutPicture(const Readout& readout);
bool showsReadout(const Picture& picture, const Picture& strip);

// The centre of the needle's bright green pixels in the dial's area (screen rows 26..293),
// in its own coordinates; false when fewer than five are lit.
bool needleCentre(const Picture& picture, double& x, double& y);

}  // namespace veldra
