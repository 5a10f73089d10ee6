#include "tools/veldra-file/file_report.h"

#include <cmath>
#include <cstdio>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "tuner/tuner.h"

namespace veldra {
namespace {

std::string format9(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
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

std::string csvReadingColumns(const RefreshRow& row, InstrumentKind kind) {
    if (!row.stable) return ",,,";
    const NoteReading note = nameNote(row.frequency);
    std::string name;
    for (char c : note.name)
        if (c != ' ' && c != '\0') name += c;
    char cents[16];
    const double tenths = std::round(note.cents * 10.0) / 10.0;
    std::snprintf(cents, sizeof cents, tenths == 0.0 ? "0.0" : "%+.1f", tenths);
    const StringMatch string = nearestString(kind, row.frequency);
    return "," + name + "," + cents + "," + (string.found ? std::to_string(string.number) : "");
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
    char line[96], cents[8];
    centsText(note.cents, cents);
    int n = std::snprintf(line, sizeof line, "%-4s %6s %8.1f Hz", note.name, cents,
                          static_cast<double>(row.frequency));
    const StringMatch string = nearestString(kind_, row.frequency);
    if (string.found && n > 0) {
        centsText(string.cents, cents);
        std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "   %d: %s %4s",
                      string.number, string.name, cents);
    }
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
