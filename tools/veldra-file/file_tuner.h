// The whole tuner run over a sound file, headless, as fast as the machine allows.
//
// The run sets the tuner up as the application's start-up and first paint do (display
// opened on a headless screen, plot window 240 x 268 under the navigation bar, refresh
// divisor 10, trace origin (117, 128, 10) with automatic delay, dial geometry
// (120, 128, 40, 106), the background picture 124 captured, Guitar set up with the
// start-up tuning values, analysis rate 22050), applies the requested mode commands in
// order, then hands the sound to analyzeBlock in blocks of 220 samples with no backlog;
// a final partial block is dropped. At every refresh point it reports what the dial was
// given (table or CSV) and, if asked, writes the screen to PNG files.
//
// Failures: the input is opened before anything is written. A file that cannot be read,
// a picture that cannot be written or a --at beyond the end gives one line on err
// ("veldra-file: <what>: <why>") and the result 1, and leaves no picture of this run
// behind. Success is 0.
//
// Thread: main thread only. The run uses the program-wide tuner state (analysis, display,
// views), putting it back to its start values first, so runs may follow one another.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

#include "platform/headless_window.h"
#include "tools/veldra-file/file_options.h"

namespace veldra {

// Puts every module back to its start values, then runs the application's start-up and
// first paint on the headless window (see above), in the start-up state: Guitar with the
// start-up tuning values. false with error set when the display or the background
// picture cannot be had. Shared with the benchmarks, which time the same pipeline.
bool startTunerHeadless(HeadlessWindow& window, std::string& error);

// Runs options (action Run) and returns the exit status, 0 or 1.
int runFileTuner(const FileOptions& options, std::ostream& out, std::ostream& err);

// The same run over size bytes of a sound file in memory (options.input names it in the
// messages; options.demo is not looked at), ending after at most maxSeconds of sound:
// how the fuzzer drives the input path with bounded work. The bytes are not copied.
int runFileTunerOnBytes(const void* bytes, size_t size, double maxSeconds,
                        const FileOptions& options, std::ostream& out, std::ostream& err);

}  // namespace veldra
