// The real program tuning through a sound server of a test's own (support/pulse_session.h,
// pipewire_session.h, jack_session.h): two steady tones written to files (the A string 10 cents
// sharp, the D string) with where veldra-file's picture of each puts the needle, and the
// program on an Xvfb of its own, started past its notice, its needle compared with those
// places (within 2 pixels).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/program_window.h"
#include "tests/support/scratch_files.h"

namespace veldra {

struct LiveTone {
    std::string file;
    double x = 0, y = 0;  // where the needle belongs after two seconds of it
};

class LiveTuning {
  public:
    explicit LiveTuning(std::string program) : program_(std::move(program)) {}

    // The X server and the tones; false with why when there is no X server.
    bool prepare(std::string& why);

    // veldra with the options and the server's client environment, past its notice.
    ::testing::AssertionResult start(std::vector<std::string> options,
                                     const std::vector<std::string>& environment);
    ::testing::AssertionResult needleOn(const char* what, const LiveTone& tone);
    // The title says the input is lost and the needle is gone.
    ::testing::AssertionResult inputLost();
    // Control+Q ends it with status 0.
    void quit();

    ProgramWindow veldra;
    ScratchFolder folder;
    LiveTone a, d;

  private:
    std::string program_;  // the program's path
};

}  // namespace veldra
