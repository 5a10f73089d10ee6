// The pictures veldra-file writes: the --png picture (at the end or at --at) and the
// --frames series, all or nothing for the run.
//
// Each file is written atomically (a temporary file renamed into place). The frames are
// written as the run goes; if the run fails afterwards, discard() removes the ones this
// run wrote, and the --png picture is only written by finish(), once the run has succeeded.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/screen/screen.h"

namespace veldra {

class RunPictures {
  public:
    RunPictures(const std::string& pngPath, const std::string& framesDir)
        : pngPath_(pngPath), framesDir_(framesDir) {}

    // Checks before the run that the pictures can go where they are asked to: the --png
    // folder exists, the --frames folder exists or can be made. false with error set.
    bool prepare(std::string& error);

    // The screen at a refresh point, when --frames was given.
    bool writeFrame(const HeadlessScreen& screen, std::string& error);

    // Keeps the screen as it is now for the --png picture (the --at moment).
    void hold(const HeadlessScreen& screen);
    bool holding() const { return !held_.empty(); }

    // Writes the --png picture: the held screen, or screen as it is now.
    bool finish(const HeadlessScreen& screen, std::string& error);

    // Removes the frames this run wrote.
    void discard();

  private:
    std::string pngPath_;         // empty: no picture asked for
    std::string framesDir_;       // empty: no frames asked for
    std::vector<uint16_t> held_;  // the screen at the --at moment, row-major
    int64_t frames_ = 0;          // frames written: frame-000001.png to this number
};

}  // namespace veldra
