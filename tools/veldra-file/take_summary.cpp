#include "tools/veldra-file/take_summary.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace veldra {

TakeSummary summarizeTake(const std::vector<TakeReading>& readings,
                          const std::vector<HeldNote>& held) {
    TakeSummary summary;
    for (const TakeReading& r : readings) {
        if (r.frequency <= 0.0f) continue;
        ++summary.readings;
        if (std::fabs(nameNote(r.frequency).cents) <= inTuneCents) ++summary.inTune;
    }
    std::map<int32_t, std::vector<double>> centsByNote;  // semitone -> its held readings' cents
    std::map<int32_t, NoteReading> names;
    for (const HeldNote& note : held) {
        std::vector<double>& cents = centsByNote[note.note.semitone];
        for (size_t i = note.first; i < note.first + note.count; ++i)
            cents.push_back(nameNote(readings[i].frequency).cents);
        names[note.note.semitone] = note.note;
    }
    for (auto& [semitone, cents] : centsByNote) {
        std::sort(cents.begin(), cents.end());
        NoteOffset offset{};
        std::memcpy(offset.name, names[semitone].name, sizeof offset.name);
        offset.medianCents = sortedQuantile(cents, 0.5);
        summary.furthest.push_back(offset);
    }
    std::stable_sort(summary.furthest.begin(), summary.furthest.end(),
                     [](const NoteOffset& a, const NoteOffset& b) {
                         return std::fabs(a.medianCents) > std::fabs(b.medianCents);
                     });
    if (summary.furthest.size() > static_cast<size_t>(furthestNotes))
        summary.furthest.resize(furthestNotes);
    return summary;
}

}  // namespace veldra
