#include "tools/veldra-file/file_report.h"

#include <cmath>
#include <cstdio>

#include "tuner/tuner.h"

namespace veldra {
namespace {

constexpr double c0Frequency = 32.7 / 2;  // Hz: the tuner's scale has C1 = 32.7 Hz
constexpr char noteAlphabet[] = "C C#D D#E F F#G G#A A#B ";

std::string format9(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// Whole cents, as a tuner shows them: "+10", "-15", "0" (never "-0").
std::string centsText(double cents) {
    const long whole = std::lround(cents);
    char text[16];
    std::snprintf(text, sizeof text, whole == 0 ? "0" : "%+ld", whole);
    return text;
}

}  // namespace

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

double blockSeconds(int64_t block) {
    return static_cast<double>(block) * captureBlockSamples / sampleRate;
}

std::string csvLine(const RefreshRow& row) {
    char time[32];
    std::snprintf(time, sizeof time, "%.6f", blockSeconds(row.block));
    return std::to_string(row.block) + "," + time + "," + format9(row.frequency) + "," +
           (row.stable ? "1" : "0") + "," + format9(row.period) + "," + format9(row.recentPeriod) +
           "," + std::to_string(row.recentCount) + "," + row.needle;
}

NoteReading nameNote(double frequency) {
    NoteReading r{};
    const double semitones = 12.0 * std::log2(frequency / c0Frequency);
    const double nearest = std::round(semitones);
    r.semitone = static_cast<int32_t>(nearest);
    r.cents = (semitones - nearest) * 100.0;
    const int32_t cell = ((r.semitone % 12) + 12) % 12;
    const int32_t octave = (r.semitone - cell) / 12;
    std::snprintf(r.name, sizeof r.name, "%c%c%d", noteAlphabet[2 * cell],
                  noteAlphabet[2 * cell + 1], octave < 0 || octave > 9 ? 0 : octave);
    return r;
}

StringMatch nearestString(InstrumentKind kind, double frequency) {
    StringMatch best{};
    float strings[maxStringCount];
    const int32_t count = stringFrequencies(strings, kind);
    for (int32_t i = 0; i < count; ++i) {
        const double cents = 1200.0 * std::log2(frequency / strings[i]);
        // Within a semitone as the table prints it (one decimal), so never "100.0".
        if (std::fabs(cents) >= 99.95 || (best.found && std::fabs(cents) >= std::fabs(best.cents)))
            continue;
        best.found = true;
        best.number = i + 1;
        best.cents = cents;
        stringNoteName(best.name, kind, i);
    }
    return best;
}

void TableWriter::begin(const std::string& title, const std::string& source) {
    out_ << title << "  (" << source << ")\n";
    char heads[96];
    std::snprintf(heads, sizeof heads, "  %-13s  %-4s %6s %11s   %s\n", "time (s)", "note", "cents",
                  "frequency", "open string");
    out_ << heads;
}

void TableWriter::add(const RefreshRow& row) {
    if (!row.stable) {
        flush();
        return;
    }
    ++shown_;
    const NoteReading note = nameNote(row.frequency);
    char line[96];
    int n = std::snprintf(line, sizeof line, "%-4s %6s %8.1f Hz", note.name,
                          centsText(note.cents).c_str(), static_cast<double>(row.frequency));
    const StringMatch string = nearestString(kind_, row.frequency);
    if (string.found && n > 0)
        std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "   %d: %s %4s",
                      string.number, string.name, centsText(string.cents).c_str());
    const double at = blockSeconds(row.block);
    if (line == pending_) {
        pendingTo_ = at;
        return;
    }
    flush();
    pending_ = line;
    pendingFrom_ = pendingTo_ = at;
}

void TableWriter::flush() {
    if (pending_.empty()) return;
    char time[32];
    if (pendingTo_ > pendingFrom_)
        std::snprintf(time, sizeof time, "%6.2f-%-6.2f", pendingFrom_, pendingTo_);
    else
        std::snprintf(time, sizeof time, "%6.2f       ", pendingFrom_);
    out_ << "  " << time << "  " << pending_ << '\n';
    pending_.clear();
}

void TableWriter::end() {
    flush();
    if (shown_ == 0) out_ << "  (no stable pitch found)\n";
}

}  // namespace veldra
