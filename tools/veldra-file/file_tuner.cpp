// Sections: source: the file or the demo; output: standard output, checked as it goes;
// run: blocks, refreshes, reports, and how the run ends.
#include "tools/veldra-file/file_tuner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "display/display.h"
#include "platform/sound_files/sound_files.h"
#include "tools/veldra-file/file_pictures.h"
#include "tools/veldra-file/file_report.h"
#include "tools/veldra-file/file_signals.h"
#include "tools/veldra-file/report_page.h"
#include "tools/veldra-file/window_picture.h"
#include "tuner/tuner.h"
#include "views/views.h"

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

// The first block whose end reaches the given second of sound (0: before any block).
// Beyond 2^62 blocks (a million centuries) it is a block no sound reaches.
int64_t blockAt(double seconds) {
    const double block = std::ceil(seconds * sampleRate / captureBlockSamples - 1e-9);
    return block < 0x1p62 ? static_cast<int64_t>(block) : INT64_MAX;
}

int fail(std::ostream& err, const std::string& message, int status = 1) {
    err << "veldra-file: " << printableText(message) << '\n';
    return status;
}

// ---- output ----
// Whether standard output has taken everything so far. When it has not, the run fails:
// with the system's reason, or quietly by SIGPIPE (signal) when the pipe was closed.
bool outputTaken(std::ostream& out, std::string& error, int& signal) {
    if (out) return true;
    const int e = errno;  // set by the write that failed; no call since has failed
    if (e == EPIPE)
        signal = SIGPIPE;
    else
        error = std::string("standard output: ") + (e != 0 ? std::strerror(e) : "write failed");
    return false;
}

// What the report says of the take and how it was read.
TakeFacts takeFacts(const SoundSource& source, const FileOptions& options, int64_t blocks) {
    TakeFacts facts;
    facts.source = source.demo ? "built-in demo performance" : options.input;
    facts.seconds = blockSeconds(blocks);
    facts.sampleRate = source.demo ? sampleRate : source.reader.format().sampleRate;
    facts.channels = source.demo ? 1 : source.reader.format().channels;
    const PlayerChoices& choices = tunerChoices();
    instrumentName(facts.mode, choices.mode);
    facts.tuning = playedTuning(choices.mode)->name;
    facts.reference = choices.referenceA4 != 0
                          ? "A4 = " + std::to_string(choices.referenceA4) + " Hz"
                          : "A4 = 439.96 Hz (the scale's own)";
    return facts;
}

// ---- run ----
// The run over an opened source, to the sound's end.
int runTuner(SoundSource& source, const FileOptions& options, const InputIdentity* input,
             std::ostream& out, std::ostream& err) {
    RunPictures pictures(options.pngPath, options.framesDir, options.reportPath);
    std::string error;
    int status = 1;
    if (!pictures.prepare(input, error, status)) return fail(err, error, status);

    if (loadBitmapResource(backgroundResource).pixels == nullptr) {
        return fail(err, "the background picture 124 is missing from the program");
    }
    HeadlessTuner tuner;
    HeadlessScreen& screen = tuner.screen;
    if (!tuner.start()) {
        closeDisplay();
        return fail(err, "cannot open the headless display");
    }
    setInputConditioning(!options.raw);
    // Only the pictures look at the screen; the table and the CSV come from the dial.
    setScreenDrawing(!options.pngPath.empty() || !options.framesDir.empty());
    for (InstrumentKind mode : options.modes)
        applyTunerMode(mode);
    if (options.choicesGiven) applyTunerChoices(options.choices);
    const InstrumentKind kind = tunerChoices().mode;
    const std::string title = modeTitle(kind);
    // The pictures show the program's bars around the dial, titled for the mode.
    drawWindowBars(screen, title);

    // The table's title names the tuning and the reference when they are not the defaults.
    std::string tableTitle = title;
    if (tunerChoices().tuning != 0) tableTitle += std::string(", ") + playedTuning(kind)->name;
    if (tunerChoices().referenceA4 != 0)
        tableTitle += ", A4 = " + std::to_string(tunerChoices().referenceA4) + " Hz";
    TableWriter table(out, kind);
    if (options.csv)
        out << csvHeader << csvReadingHeader << '\n';
    else
        table.begin(tableTitle,
                    source.demo ? "built-in demo performance" : printableText(options.input));
    int signal = 0;  // the run ends by this signal: SIGPIPE from the output, or one caught
    bool ok = outputTaken(out, error, signal);

    const int64_t atBlock = options.atGiven ? blockAt(options.atSeconds) : -1;
    const auto picture = [&] { return windowPicture(screen, options.screenOnly); };
    if (atBlock == 0) pictures.hold(picture());
    std::vector<TakeReading> take;  // for the report: the stable reading at each refresh
    int16_t block[captureBlockSamples];
    int64_t blocks = 0;
    int32_t refreshes = pipelineState().dialRefreshes;
    while (ok && endingSignal() == 0 &&
           source.pull(block, captureBlockSamples) == captureBlockSamples) {
        ++blocks;
        analyzeBlock(block, captureBlockSamples, false);
        if (pipelineState().dialRefreshes != refreshes) {
            refreshes = pipelineState().dialRefreshes;
            const RefreshRow row = refreshRow(blocks);
            if (options.csv)
                out << csvLine(row) << csvReadingColumns(row, kind) << '\n';
            else
                table.add(row);
            if (!options.reportPath.empty())
                take.push_back({blockSeconds(blocks), row.stable ? row.frequency : 0.0f});
            ok = outputTaken(out, error, signal) &&
                 (!pictures.framesWanted() || pictures.writeFrame(picture(), error));
        }
        if (blocks == atBlock) pictures.hold(picture());
    }
    // The blocks ended: with the sound, on a failure, or on a signal.
    if (endingSignal() != 0) signal = endingSignal();
    if (signal != 0) ok = false;
    if (ok && !source.demo && source.reader.error().problem != SoundFileProblem::None) {
        error = source.reader.error().message;
        ok = false;
    }
    if (ok && options.atGiven && !pictures.holding()) {
        char when[80];
        std::snprintf(when, sizeof when, ": the sound ends at %.2f s, before --at %g",
                      static_cast<double>(blocks) * captureBlockSamples / sampleRate,
                      options.atSeconds);
        error = (source.demo ? std::string("demo") : options.input) + when;
        ok = false;
    }
    if (ok && pictures.pictureWanted()) ok = pictures.finish(picture(), error);
    if (ok && !options.reportPath.empty()) {
        const std::string page =
            practiceReport(takeFacts(source, options, blocks), take, tunerChoices().mode,
                           1.0 / pipelineState().refreshDivisor);
        ok = pictures.finishReport(page, error);
    }
    closeDisplay();
    if (ok && !options.csv) table.end();
    if (ok) {
        out.flush();
        ok = outputTaken(out, error, signal);
    }
    // Everything is written. It goes into place as a whole or not at all: a failure or a
    // signal during the commit puts back what was there (file_pictures.h). The commit
    // leaves the ending signals held: once the outputs are in place the run has succeeded,
    // and a signal that comes after it is too late to make it a failure.
    if (ok) ok = endingSignal() == 0 && pictures.commit(error);
    holdEndingSignals(true);
    if (!ok) pictures.discard();
    if (!ok && endingSignal() != 0) signal = endingSignal();
    if (signal != 0) {
        out.flush();
        endBySignal(signal);
    }
    if (!ok) {
        out.flush();
        return fail(err, error);
    }
    if (!source.demo && !source.reader.warning().empty())
        err << "veldra-file: " << source.reader.warning() << '\n';
    return 0;
}

}  // namespace

int runFileTuner(const FileOptions& options, std::ostream& out, std::ostream& err) {
    SoundSource source;
    source.demo = options.demo;
    if (source.demo) {
        resetDemoSound(source.performance, sampleRate, false);
        return runTuner(source, options, nullptr, out, err);
    }
    if (!source.reader.open(options.input)) return fail(err, source.reader.error().message);
    struct stat file {};
    if (stat(options.input.c_str(), &file) != 0)
        return fail(err, options.input + ": " + std::strerror(errno));
    const InputIdentity input{file.st_dev, file.st_ino};
    // Standard output opened on the sound file itself (1<> take.wav, >> take.wav) would
    // write the table into the recording.
    struct stat output {};
    if (fstat(STDOUT_FILENO, &output) == 0 && output.st_dev == file.st_dev &&
        output.st_ino == file.st_ino)
        return fail(err, options.input + ": standard output is the sound file being tuned", 2);
    return runTuner(source, options, &input, out, err);
}

}  // namespace veldra
