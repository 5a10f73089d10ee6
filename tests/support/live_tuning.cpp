#include "tests/support/live_tuning.h"

#include <cmath>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "platform/sound_files/sound_files.h"
#include "platform/windows/windows.h"
#include "tests/support/tuner_setup.h"
#include "tuner/tuner.h"

namespace veldra {
namespace {

// Where veldra-file's picture of the file puts the needle after two seconds of it.
void expectedNeedle(LiveTone& tone) {
    constexpr int64_t twoSeconds = 2 * sampleRate / captureBlockSamples;
    bool found = false;
    const int64_t blocks = tuneFile(tone.file, loadBitmapResource(backgroundResource),
                                    [&](int64_t tuned, const HeadlessScreen& screen) {
                                        if (tuned < twoSeconds) return true;
                                        found = needleCentre(screen.snapshot(), tone.x, tone.y);
                                        return false;
                                    });
    ASSERT_EQ(blocks, twoSeconds);
    ASSERT_TRUE(found);
}

}  // namespace

bool LiveTuning::prepare(std::string& why) {
    if (!veldra.session.start(why)) return false;
    a.file = folder.path("a.wav"), d.file = folder.path("d.wav");
    writeSteadyTone(a.file, 110.0 * std::exp2(10 / 1200.0), 30);  // A, +10
    writeSteadyTone(d.file, 146.83, 30);                          // D
    expectedNeedle(a);
    expectedNeedle(d);
    return true;
}

::testing::AssertionResult LiveTuning::start(std::vector<std::string> options,
                                             const std::vector<std::string>& environment) {
    options.insert(options.begin(), program_);
    std::vector<std::string> extra = environment;
    extra.push_back("VELDRA_INPUT=");
    if (auto started = veldra.launch(options, extra); !started) return started;
    return veldra.key("Return");
}

::testing::AssertionResult LiveTuning::needleOn(const char* what, const LiveTone& tone) {
    return veldra.waitFor(what, [&](const Picture& p) {
        double x = 0, y = 0;
        return needleCentre(p, x, y) && std::hypot(x - tone.x, y - tone.y) <= 2.0;
    });
}

::testing::AssertionResult LiveTuning::inputLost() {
    if (findWindow(veldra.session, "Veldra: input lost, retrying", stepTimeoutMs) == 0) {
        return ::testing::AssertionFailure() << "no \"input lost\" in the title\n"
                                             << veldra.program.errorOutput();
    }
    double x = 0, y = 0;
    return veldra.waitFor("no needle", [&](const Picture& p) { return !needleCentre(p, x, y); });
}

void LiveTuning::quit() {
    ASSERT_TRUE(veldra.key("ctrl+q"));
    EXPECT_EQ(veldra.program.wait(stepTimeoutMs), 0) << veldra.program.errorOutput();
}

}  // namespace veldra
