#include "tools/veldra-file/held_notes.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <queue>

namespace veldra {
namespace {

// The median of a growing list in logarithmic time: a long held note stays cheap.
class RunningMedian {
  public:
    void add(double value) {
        if (low_.empty() || value <= low_.top())
            low_.push(value);
        else
            high_.push(value);
        if (low_.size() > high_.size() + 1) {
            high_.push(low_.top());
            low_.pop();
        } else if (high_.size() > low_.size()) {
            low_.push(high_.top());
            high_.pop();
        }
    }
    double median() const {
        return low_.size() > high_.size() ? low_.top() : (low_.top() + high_.top()) / 2;
    }
    bool empty() const { return low_.empty(); }

  private:
    std::priority_queue<double> low_;                                        // lower half
    std::priority_queue<double, std::vector<double>, std::greater<>> high_;  // upper half
};

}  // namespace

double sortedQuantile(const std::vector<double>& sorted, double q) {
    if (sorted.empty()) return 0.0;
    const double at = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<size_t>(std::floor(at));
    const size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (at - static_cast<double>(below));
}

std::vector<HeldNote> findHeldNotes(const std::vector<TakeReading>& readings, InstrumentKind kind,
                                    double refreshSeconds) {
    std::vector<HeldNote> held;
    size_t first = 0;  // the run so far: readings first..i-1, all on note
    int32_t semitone = -1;
    RunningMedian median;
    std::vector<double> cents;  // the run's cents from its note
    const auto close = [&](size_t end) {
        const double length = static_cast<double>(end - first) * refreshSeconds;
        if (semitone >= 0 && length >= heldNoteSeconds - 1e-9) {
            std::sort(cents.begin(), cents.end());
            HeldNote note{};
            note.first = first;
            note.count = end - first;
            note.start = readings[first].seconds;
            note.length = length;
            note.note = nameNote(readings[first].frequency);
            note.medianCents = sortedQuantile(cents, 0.5);
            note.spreadCents = sortedQuantile(cents, 0.75) - sortedQuantile(cents, 0.25);
            // The pitch the median stands for, to look for a string near it.
            const double pitch = readings[first].frequency *
                                 std::exp2((note.medianCents - note.note.cents) / 1200.0);
            note.string = nearestString(kind, pitch);
            held.push_back(note);
        }
        semitone = -1;
        median = RunningMedian();
        cents.clear();
    };
    for (size_t i = 0; i < readings.size(); ++i) {
        if (readings[i].frequency <= 0.0f) {
            close(i);
            continue;
        }
        const NoteReading reading = nameNote(readings[i].frequency);
        if (semitone >= 0 && (reading.semitone != semitone ||
                              std::fabs(reading.cents - median.median()) > heldNoteWander))
            close(i);
        if (semitone < 0) {
            first = i;
            semitone = reading.semitone;
        }
        median.add(reading.cents);
        cents.push_back(reading.cents);
    }
    close(readings.size());
    return held;
}

}  // namespace veldra
