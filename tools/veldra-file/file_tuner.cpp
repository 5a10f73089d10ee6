// Sections: [source] the file or the demo; [start-up] the application's start-up and
// first paint, headless; [modes] the mode commands; [run] blocks, refreshes, reports.
#include "tools/veldra-file/file_tuner.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "analysis/block_pipeline.h"
#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "app/chrome_picture.h"
#include "app/mode_tuning.h"
#include "app/resources.h"
#include "display/display.h"
#include "platform/demo_sound.h"
#include "platform/headless_screen.h"
#include "platform/headless_window.h"
#include "platform/sound_file.h"
#include "tools/veldra-file/file_pictures.h"
#include "tools/veldra-file/file_report.h"
#include "views/phase_trace.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

constexpr int32_t blockSamples = 220;
constexpr int32_t menuBarHeight = 26;

// ---- [source] --------------------------------------------------------------------------

// The sound being tuned: a file through the reader, or the demo performance played once.
struct SoundSource {
    bool demo = false;
    SoundFileReader reader;  // when not demo
    DemoSound performance{};  // when demo

    int32_t pull(int16_t* out, int32_t count) {
        return demo ? pullDemoSound(performance, out, count) : reader.read(out, count);
    }
};

// ---- [start-up] ------------------------------------------------------------------------

// Every module's state back to its start values, as in a fresh process.
void resetTuner() {
    resetDetector();
    resetValidator();
    resetBlockPipeline();
    resetDisplay();
    resetDial();
    resetTrace();
}

}  // namespace

// The application's start-up, from opening the display to its first paint.
bool startTunerHeadless(HeadlessWindow& window, std::string& error) {
    resetTuner();
    if (!openDisplay(window)) {
        error = "cannot open the headless display";
        return false;
    }
    const Bitmap background = loadBitmapResource(backgroundResource);
    if (background.pixels == nullptr) {
        error = "the background picture 124 is missing from the program";
        return false;
    }
    initOctaveRange();
    // The plot window is the window less the menu bar, and the window moves there.
    Rect rect = window.screenRect();
    rect.bottom -= menuBarHeight;
    prepareDisplay(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    window.place(rect);
    setRefreshDivisor(10);
    // The first paint.
    setTraceOrigin(117, 128, 10);
    setTraceAutoDelay(true);
    setDialGeometry(120, 128, 40, 106);
    captureBackground(window, background);
    setupInstrument(InstrumentKind::Guitar);
    setAnalysisRate(captureSampleRate);
    return true;
}

namespace {

// ---- [modes] ---------------------------------------------------------------------------

// A mode command as the Instrument menu gives it: the dial for the mode, and for Guitar
// and Singing their two tuning values. Returns the new title.
std::string applyMode(InstrumentKind kind) {
    setupInstrument(kind);
    applyModeTuning(kind);
    std::string name;
    instrumentName(name, kind);
    return "Veldra -- " + name;
}

// ---- [run] -----------------------------------------------------------------------------

// What the dial was handed at the refresh point that block just was.
RefreshRow refreshRow(int64_t block) {
    RefreshRow row{};
    row.block = block;
    row.frequency = pipelineState().shownFrequency;
    row.stable = pipelineState().shownStable;
    row.period = currentPeriod();
    row.recentPeriod = recentPeriod(0);
    row.recentCount = validatorState().recentCount;
    const DialState& dial = dialState();
    switch (dial.reading) {
    case DialReading::None: std::snprintf(row.needle, sizeof row.needle, "none"); break;
    case DialReading::Low: std::snprintf(row.needle, sizeof row.needle, "low"); break;
    case DialReading::High: std::snprintf(row.needle, sizeof row.needle, "high"); break;
    case DialReading::Needle: std::snprintf(row.needle, sizeof row.needle, "%d", dial.readingAngle); break;
    }
    return row;
}

// The first block whose end reaches the given second of sound (0: before any block).
int64_t blockAt(double seconds) {
    return static_cast<int64_t>(std::ceil(seconds * captureSampleRate / blockSamples - 1e-9));
}

int fail(std::ostream& err, const std::string& message) {
    err << "veldra-file: " << message << '\n';
    return 1;
}

// The run over an opened source, ending after blockLimit blocks (-1: at the sound's end).
int runTuner(SoundSource& source, const FileOptions& options, int64_t blockLimit,
             std::ostream& out, std::ostream& err) {
    RunPictures pictures(options.pngPath, options.framesDir);
    std::string error;
    if (!pictures.prepare(error)) return fail(err, error);

    HeadlessScreen screen;
    HeadlessWindow window(screen);
    if (!startTunerHeadless(window, error)) {
        closeDisplay();
        return fail(err, error);
    }
    std::string title = "Veldra -- Guitar";
    InstrumentKind kind = InstrumentKind::Guitar;
    for (InstrumentKind mode : options.modes) {
        title = applyMode(mode);
        kind = mode;
    }
    // The pictures show the program's bars around the dial, titled for the mode.
    drawShellChrome(screen, title);

    TableWriter table(out, kind);
    if (options.csv) out << csvHeader << '\n';
    else table.begin(title, source.demo ? "built-in demo performance" : options.input);

    const int64_t atBlock = options.atGiven ? blockAt(options.atSeconds) : -1;
    if (atBlock == 0) pictures.hold(screen);
    int16_t block[blockSamples];
    int64_t blocks = 0;
    int32_t refreshes = pipelineState().dialRefreshes;
    bool ok = true;
    while (ok && blocks != blockLimit && source.pull(block, blockSamples) == blockSamples) {
        ++blocks;
        analyzeBlock(block, blockSamples, false);
        if (pipelineState().dialRefreshes != refreshes) {
            refreshes = pipelineState().dialRefreshes;
            const RefreshRow row = refreshRow(blocks);
            if (options.csv) out << csvLine(row) << '\n';
            else table.add(row);
            ok = pictures.writeFrame(screen, error);
        }
        if (blocks == atBlock) pictures.hold(screen);
    }
    if (ok && !source.demo && source.reader.error().problem != SoundFileProblem::None) {
        error = source.reader.error().message;
        ok = false;
    }
    if (ok && options.atGiven && !pictures.holding()) {
        char text[160];
        std::snprintf(text, sizeof text, "%s: the sound ends at %.2f s, before --at %g",
                      source.demo ? "demo" : options.input.c_str(), static_cast<double>(blocks) * blockSamples / captureSampleRate,
                      options.atSeconds);
        error = text;
        ok = false;
    }
    if (ok) ok = pictures.finish(screen, error);
    closeDisplay();
    if (!ok) {
        pictures.discard();
        out.flush();
        return fail(err, error);
    }
    if (!options.csv) table.end();
    out.flush();
    return 0;
}

}  // namespace

int runFileTuner(const FileOptions& options, std::ostream& out, std::ostream& err) {
    SoundSource source;
    source.demo = options.demo;
    if (source.demo) resetDemoSound(source.performance, false);
    else if (!source.reader.open(options.input)) return fail(err, source.reader.error().message);
    return runTuner(source, options, -1, out, err);
}

int runFileTunerOnBytes(const void* bytes, size_t size, double maxSeconds,
                        const FileOptions& options, std::ostream& out, std::ostream& err) {
    SoundSource source;
    if (!source.reader.openMemory(bytes, size, options.input)) {
        return fail(err, source.reader.error().message);
    }
    const auto blockLimit = static_cast<int64_t>(maxSeconds * captureSampleRate / blockSamples);
    return runTuner(source, options, blockLimit, out, err);
}

}  // namespace veldra
