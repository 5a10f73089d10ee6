// The practice report as one self-contained HTML page: no script, no request of its own,
// the plot inline SVG, so that it reads the same in any browser, offline.
//
// The page names the take (file name, length, rate), the mode, tuning and reference
// pitch; sums it up (take_summary.h); plots each stable reading in signed cents from its
// note against time, with the in-tune band (within inTuneCents) shaded, the held notes
// named along the top and each held note's median drawn across its run; and lists the
// held notes (held_notes.h). A take with no reading gets a page that says so.
//
// The plot keeps, in each of its pixel columns, at most the first, lowest, highest and
// last reading of a stretch, so an hour's take draws no more points than a minute's can
// show. Every text from outside (the file name) is escaped.
//
// Thread: any; no state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/veldra-file/held_notes.h"
#include "tools/veldra-file/take_summary.h"

namespace veldra {

// What the page says about where the take came from and how it was read.
struct TakeFacts {
    std::string source;     // the file's name as given, or what stands for it
    double seconds;         // of sound read
    int32_t sampleRate;     // the file's, Hz
    int32_t channels;       // the file's
    std::string mode;       // "Violin"
    std::string tuning;     // "standard"
    std::string reference;  // "A4 = 442 Hz"
};

std::string reportPage(const TakeFacts& facts, const std::vector<TakeReading>& readings,
                       const std::vector<HeldNote>& held, const TakeSummary& summary);

// The page for a take's readings (one a refresh, refreshSeconds apart) in mode kind: its
// held notes and summary found, then reportPage.
std::string practiceReport(const TakeFacts& facts, const std::vector<TakeReading>& readings,
                           InstrumentKind kind, double refreshSeconds);

// text made safe inside HTML text and attribute values: & < > " ' as references, bytes
// that are not UTF-8 (and control characters) as "\xHH".
std::string htmlEscaped(std::string_view text);

}  // namespace veldra
