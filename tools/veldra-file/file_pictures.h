// The pictures veldra-file writes: the --png picture (at the end or at --at) and the
// --frames series, and the --report page beside them, all or nothing for the run.
//
// A picture is screenWidth pixels wide, RGB565, row-major, as tall as its pixels make it
// (the window: the screen and the readout strip below it; or the screen alone).
//
// Nothing the run writes is in place before the run has succeeded. The frames go to a
// private folder made inside the --frames folder (".veldra-XXXXXX"); the --png picture and
// the report to a temporary file each beside its destination (platform/screen/screen_png.h, which
// also says which destinations are accepted). commit() then puts them in place as one step that can
// be undone: it moves every frame file of an earlier run aside into the private folder
// (other files stay), moves this run's frames in, and renames the report and then the
// picture into place last (a picture that then fails to go in leaves the report in place).
// A name it cannot move (another user's file in a sticky folder), any other failure, or an
// ending signal (file_signals.h) before the picture is in place puts the earlier frames
// back; discard() then removes everything the run made, the --frames folder too when the
// run created it, so a failed or interrupted run leaves the folders as they were.
//
// An output that is the sound file being tuned (the same device and inode, through a link
// or under another name) is refused before anything is written.
//
// Thread: main thread only.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/screen/screen.h"

namespace veldra {

// The sound file's identity, to keep the outputs off it.
struct InputIdentity {
    dev_t device;
    ino_t inode;
};

class RunPictures {
  public:
    RunPictures(const std::string& pngPath, const std::string& framesDir,
                const std::string& reportPath = {})
        : pngPath_(pngPath), framesDir_(framesDir), reportPath_(reportPath) {}
    ~RunPictures() { discard(); }
    RunPictures(const RunPictures&) = delete;
    RunPictures& operator=(const RunPictures&) = delete;

    // Before the run: the --png and --report destinations are ones a file may go to, the --frames
    // folder exists or can be made, neither is the input (null: the demo), and the frames'
    // private folder is made. false with error set, and status 2 when an output would be
    // the input, 1 otherwise.
    bool prepare(const InputIdentity* input, std::string& error, int& status);

    // Whether the run writes pictures at all (the caller then draws them).
    bool framesWanted() const { return !framesDir_.empty(); }
    bool pictureWanted() const { return !pngPath_.empty(); }

    // The picture at a refresh point, when --frames was given.
    bool writeFrame(const std::vector<uint16_t>& picture, std::string& error);

    // Keeps the picture as it is now for --png (the --at moment).
    void hold(std::vector<uint16_t> picture);
    bool holding() const { return !held_.empty(); }

    // Writes the --png picture beside its destination: the held one, or now (the picture
    // at the end). Not in place until commit.
    bool finish(const std::vector<uint16_t>& now, std::string& error);

    // Writes the report's page beside its destination. Not in place until commit.
    bool finishReport(const std::string& page, std::string& error);

    // Puts this run's frames and picture in place (see above). false with error set, or
    // with error empty when an ending signal stopped it; either way as before the commit.
    // Returns with the ending signals held (holdEndingSignals).
    bool commit(std::string& error);

    // Removes what the run made and has not committed.
    void discard();

  private:
    std::string pngPath_;         // empty: no picture asked for
    std::string framesDir_;       // empty: no frames asked for
    std::string reportPath_;      // empty: no report asked for
    std::vector<uint16_t> held_;  // the picture at the --at moment
    PendingPng picture_;          // the --png picture, written by finish
    PendingPng report_;           // the report, written by finishReport
    int folder_ = -1;             // the --frames folder, open from prepare to commit
    bool madeFolder_ = false;     // prepare created the --frames folder
    std::string staging_;         // the private folder's name inside it; empty when none
    int64_t frames_ = 0;          // frames written: frame-000001.png to this number
};

}  // namespace veldra
