// Sections: source: the file or the demo; run: blocks, refreshes, reports.
#include "tools/veldra-file/file_tuner.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "app/app.h"
#include "platform/sound_files/sound_files.h"
#include "tools/veldra-file/file_pictures.h"
#include "tools/veldra-file/file_report.h"
#include "tuner/tuner.h"

namespace veldra {
namespace {

// ---- source ----
// The sound being tuned: a file through the reader, or the demo performance played once.
struct SoundSource {
    bool demo = false;
    SoundFileReader reader{sampleRate};  // when not demo
    DemoSound performance{};             // when demo

    int32_t pull(int16_t* out, int32_t count) {
        return demo ? pullDemoSound(performance, out, count) : reader.read(out, count);
    }
};

// ---- run ----
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
        case DialReading::None:
            std::snprintf(row.needle, sizeof row.needle, "none");
            break;
        case DialReading::Low:
            std::snprintf(row.needle, sizeof row.needle, "low");
            break;
        case DialReading::High:
            std::snprintf(row.needle, sizeof row.needle, "high");
            break;
        case DialReading::Needle:
            std::snprintf(row.needle, sizeof row.needle, "%d", dial.readingAngle);
            break;
    }
    return row;
}

// The first block whose end reaches the given second of sound (0: before any block).
int64_t blockAt(double seconds) {
    return static_cast<int64_t>(std::ceil(seconds * sampleRate / captureBlockSamples - 1e-9));
}

int fail(std::ostream& err, const std::string& message) {
    err << "veldra-file: " << message << '\n';
    return 1;
}

// The run over an opened source, to the sound's end.
int runTuner(SoundSource& source, const FileOptions& options, std::ostream& out,
             std::ostream& err) {
    RunPictures pictures(options.pngPath, options.framesDir);
    std::string error;
    if (!pictures.prepare(error)) return fail(err, error);

    HeadlessScreen screen;
    HeadlessWindow window(screen);
    const Bitmap background = loadBitmapResource(backgroundResource);
    if (background.pixels == nullptr) {
        return fail(err, "the background picture 124 is missing from the program");
    }
    if (!startHeadlessTuner(window, background)) {
        closeDisplay();
        return fail(err, "cannot open the headless display");
    }
    InstrumentKind kind = InstrumentKind::Guitar;
    for (InstrumentKind mode : options.modes) {
        applyTunerMode(mode);
        kind = mode;
    }
    const std::string title = modeTitle(kind);
    // The pictures show the program's bars around the dial, titled for the mode.
    drawShellChrome(screen, title);

    TableWriter table(out, kind);
    if (options.csv)
        out << csvHeader << '\n';
    else
        table.begin(title, source.demo ? "built-in demo performance" : options.input);

    const int64_t atBlock = options.atGiven ? blockAt(options.atSeconds) : -1;
    if (atBlock == 0) pictures.hold(screen);
    int16_t block[captureBlockSamples];
    int64_t blocks = 0;
    int32_t refreshes = pipelineState().dialRefreshes;
    bool ok = true;
    while (ok && source.pull(block, captureBlockSamples) == captureBlockSamples) {
        ++blocks;
        analyzeBlock(block, captureBlockSamples, false);
        if (pipelineState().dialRefreshes != refreshes) {
            refreshes = pipelineState().dialRefreshes;
            const RefreshRow row = refreshRow(blocks);
            if (options.csv)
                out << csvLine(row) << '\n';
            else
                table.add(row);
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
                      source.demo ? "demo" : options.input.c_str(),
                      static_cast<double>(blocks) * captureBlockSamples / sampleRate,
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
    if (source.demo)
        resetDemoSound(source.performance, sampleRate, false);
    else if (!source.reader.open(options.input))
        return fail(err, source.reader.error().message);
    return runTuner(source, options, out, err);
}

}  // namespace veldra
