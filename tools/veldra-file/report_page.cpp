// Sections: text: escaping and numbers; plot: the SVG; page: the whole document.
#include "tools/veldra-file/report_page.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace veldra {
namespace {

// ---- text ----
// The length of the well-formed UTF-8 sequence at text[at], 0 when it is not one.
size_t utf8Length(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xC2 && lead < 0xE0 ? 2
                    : lead >= 0xE0 && lead < 0xF0 ? 3
                    : lead >= 0xF0 && lead < 0xF5 ? 4
                                                  : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((lead == 0xE0 && byte(at + 1) < 0xA0) || (lead == 0xED && byte(at + 1) >= 0xA0) ||
        (lead == 0xF0 && byte(at + 1) < 0x90) || (lead == 0xF4 && byte(at + 1) >= 0x90))
        return 0;
    return length;
}

std::string format(const char* pattern, double value) {
    char text[48];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// "m:ss.s", or "m:ss" without the tenths.
std::string clockTime(double seconds, bool tenths = true) {
    const int64_t unit = tenths ? 10 : 1;  // rounded first, so 119.97 s shows as 2:00.0
    const auto count = static_cast<int64_t>(std::llround(seconds * static_cast<double>(unit)));
    const int64_t minutes = count / (60 * unit), rest = count % (60 * unit);
    char text[40];
    if (tenths)
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", static_cast<long long>(minutes),
                      static_cast<long long>(rest / 10), static_cast<long long>(rest % 10));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(minutes),
                      static_cast<long long>(rest));
    return text;
}

std::string signedCents(double cents) {
    char text[8];
    centsText(cents, text);
    return text;
}

// ---- plot ----
// The plot's frame in SVG units: cents +50 at the top, -50 at the bottom.
constexpr double plotLeft = 52, plotRight = 952, plotTop = 30, plotBottom = 290;
constexpr double svgWidth = 960, svgHeight = 318;
constexpr double centsRange = 50.0;

double yOf(double cents) {
    return plotTop + (centsRange - cents) * (plotBottom - plotTop) / (2 * centsRange);
}

struct TimeAxis {
    double seconds;  // the take's length, at least a little
    double xOf(double t) const { return plotLeft + t / seconds * (plotRight - plotLeft); }
};

// The readings of one stretch (no blank, one note) as a polyline, thinned to at most four
// points a pixel column. A single point is given twice so that its round cap shows.
void drawStretch(std::string& svg, const std::vector<TakeReading>& readings, size_t from, size_t to,
                 const TimeAxis& axis) {
    std::string points;
    size_t shown = 0;
    const auto add = [&](size_t i) {
        points += format("%.1f", axis.xOf(readings[i].seconds)) + "," +
                  format("%.1f", yOf(nameNote(readings[i].frequency).cents)) + " ";
        ++shown;
    };
    for (size_t i = from; i < to;) {
        const auto column = std::floor(axis.xOf(readings[i].seconds));
        size_t end = i, low = i, high = i;
        double lowCents = 1e9, highCents = -1e9;
        for (; end < to && std::floor(axis.xOf(readings[end].seconds)) == column; ++end) {
            const double cents = nameNote(readings[end].frequency).cents;
            if (cents < lowCents) lowCents = cents, low = end;
            if (cents > highCents) highCents = cents, high = end;
        }
        size_t keep[4] = {i, std::min(low, high), std::max(low, high), end - 1};
        for (size_t k = 0; k < 4; ++k)
            if (k == 0 || keep[k] != keep[k - 1]) add(keep[k]);
        i = end;
    }
    if (shown == 1) points += points;
    points.pop_back();
    svg += "<polyline class=\"reading\" points=\"" + points + "\"/>\n";
}

std::string plot(const std::vector<TakeReading>& readings, const std::vector<HeldNote>& held,
                 double seconds) {
    const TimeAxis axis{std::max(seconds, 0.1)};
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                      format("%.0f", svgWidth) + " " + format("%.0f", svgHeight) +
                      "\" role=\"img\" aria-label=\"cents from the note against time\">\n";
    svg += "<rect class=\"in-tune\" x=\"" + format("%.1f", plotLeft) + "\" y=\"" +
           format("%.1f", yOf(inTuneCents)) + "\" width=\"" + format("%.1f", plotRight - plotLeft) +
           "\" height=\"" + format("%.1f", yOf(-inTuneCents) - yOf(inTuneCents)) + "\"/>\n";
    for (int cents = -50; cents <= 50; cents += 25) {
        const std::string y = format("%.1f", yOf(cents));
        svg += "<line class=\"grid\" x1=\"" + format("%.1f", plotLeft) + "\" x2=\"" +
               format("%.1f", plotRight) + "\" y1=\"" + y + "\" y2=\"" + y + "\"/>";
        svg += "<text class=\"axis\" x=\"" + format("%.1f", plotLeft - 6) + "\" y=\"" +
               format("%.1f", yOf(cents) + 4) + "\" text-anchor=\"end\">" + signedCents(cents) +
               "</text>\n";
    }
    // Time ticks: the first step that gives at most ten.
    const double steps[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200};
    double step = steps[0];
    for (double s : steps)
        if ((step = s) * 10 >= axis.seconds) break;
    for (double t = 0; t <= axis.seconds + 1e-9; t += step)
        svg += "<text class=\"axis\" x=\"" + format("%.1f", axis.xOf(t)) + "\" y=\"" +
               format("%.1f", plotBottom + 18) + "\" text-anchor=\"middle\">" +
               clockTime(t, false) + "</text>\n";
    // The readings, broken where nothing was read and where the note changes.
    for (size_t i = 0; i < readings.size();) {
        if (readings[i].frequency <= 0.0f) {
            ++i;
            continue;
        }
        const int32_t semitone = nameNote(readings[i].frequency).semitone;
        size_t end = i + 1;
        while (end < readings.size() && readings[end].frequency > 0.0f &&
               nameNote(readings[end].frequency).semitone == semitone)
            ++end;
        drawStretch(svg, readings, i, end, axis);
        i = end;
    }
    // Each held note: its median across its run, its name along the top where it fits.
    double labelsEnd = 0;
    for (const HeldNote& note : held) {
        const double x1 = axis.xOf(note.start), x2 = axis.xOf(note.start + note.length);
        const std::string y = format("%.1f", yOf(note.medianCents));
        svg += "<line class=\"median\" x1=\"" + format("%.1f", x1) + "\" x2=\"" +
               format("%.1f", x2) + "\" y1=\"" + y + "\" y2=\"" + y + "\"/>\n";
        if (x1 >= labelsEnd) {
            svg += "<text class=\"note\" x=\"" + format("%.1f", x1) + "\" y=\"" +
                   format("%.1f", plotTop - 10) + "\">" + htmlEscaped(note.note.name) + "</text>\n";
            labelsEnd = x1 + 36;  // room for "C#4" and a gap
        }
    }
    return svg + "</svg>\n";
}

// ---- page ----
constexpr const char* style =
    R"(body{font:15px/1.4 system-ui,sans-serif;margin:1.5em auto;max-width:62em;padding:0 1em;color:#1d1d1f}
h1{font-size:1.4em;margin-bottom:.2em;overflow-wrap:anywhere}dl{display:grid;grid-template-columns:max-content auto;gap:.1em 1em;margin:.5em 0 1em}dt{color:#666}dd{margin:0;overflow-wrap:anywhere}
.summary{font-size:1.1em}svg{width:100%;height:auto;background:#fafafa;border:1px solid #ddd}
.in-tune{fill:#d7f2d7}.grid{stroke:#ccc;stroke-width:1}.axis{font-size:12px;fill:#666}.note{font-size:13px;fill:#333}
.reading{fill:none;stroke:#1f5fbf;stroke-width:2;stroke-linecap:round;stroke-linejoin:round}.median{stroke:#d9480f;stroke-width:2}
table{border-collapse:collapse;margin-top:1em}th,td{padding:.2em .8em;text-align:right;border-bottom:1px solid #e5e5e5}th{background:#f3f3f3}
td.sharp{color:#b03a00}td.flat{color:#1f5fbf}.none{font-size:1.2em;padding:1em;background:#fff4e5;border:1px solid #f0c080})";

std::string factsList(const TakeFacts& facts) {
    char rate[64];
    std::snprintf(rate, sizeof rate, "%d Hz, %s", facts.sampleRate,
                  facts.channels == 1   ? "mono"
                  : facts.channels == 2 ? "stereo"
                                        : "multichannel");
    return "<dl>\n<dt>File</dt><dd>" + htmlEscaped(facts.source) + "</dd>\n<dt>Length</dt><dd>" +
           clockTime(facts.seconds) + " (" + format("%.1f", facts.seconds) + " s)</dd>\n" +
           "<dt>Rate</dt><dd>" + rate + "</dd>\n<dt>Mode</dt><dd>" + htmlEscaped(facts.mode) +
           "</dd>\n<dt>Tuning</dt><dd>" + htmlEscaped(facts.tuning) +
           "</dd>\n<dt>Reference</dt><dd>" + htmlEscaped(facts.reference) + "</dd>\n</dl>\n";
}

std::string summaryText(const TakeSummary& summary) {
    std::string text = "<p class=\"summary\"><strong>" +
                       format("%.0f", 100.0 * static_cast<double>(summary.inTune) /
                                          static_cast<double>(summary.readings)) +
                       " %</strong> of the stable readings lay within " +
                       format("%.0f", inTuneCents) + " cents of their note.</p>\n";
    if (summary.furthest.empty()) return text + "<p>No note was held long enough to rank.</p>\n";
    text += "<p>Furthest from in tune:</p>\n<ol class=\"furthest\">\n";
    for (const NoteOffset& offset : summary.furthest)
        text += "<li>" + htmlEscaped(offset.name) + ": " + signedCents(offset.medianCents) +
                " cents</li>\n";
    return text + "</ol>\n";
}

std::string heldTable(const std::vector<HeldNote>& held) {
    if (held.empty())
        return "<p>No note was held for " + format("%.1f", heldNoteSeconds) + " s.</p>\n";
    std::string table =
        "<table class=\"held\">\n<thead><tr><th>Start</th><th>Length (s)</th><th>Note</th>"
        "<th>Median (cents)</th><th>Spread (cents)</th><th>String</th></tr></thead>\n<tbody>\n";
    for (const HeldNote& note : held) {
        const std::string cents = signedCents(note.medianCents);
        const char* lean = cents[0] == '+'   ? " class=\"sharp\""
                           : cents[0] == '-' ? " class=\"flat\""
                                             : "";
        std::string string = "&#8211;";
        if (note.string.found)
            string = std::to_string(note.string.number) + " (" + htmlEscaped(note.string.name) +
                     "), " + signedCents(note.string.cents);
        table += "<tr><td>" + clockTime(note.start) + "</td><td>" + format("%.1f", note.length) +
                 "</td><td>" + htmlEscaped(note.note.name) + "</td><td" + lean + ">" + cents +
                 "</td><td>" + format("%.1f", note.spreadCents) + "</td><td>" + string +
                 "</td></tr>\n";
    }
    return table + "</tbody>\n</table>\n";
}

}  // namespace

std::string htmlEscaped(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8Length(text, i);
        const auto byte = static_cast<unsigned char>(text[i]);
        if (length == 0 || byte < 0x20 || byte == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
            ++i;
            continue;
        }
        switch (text[i]) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string reportPage(const TakeFacts& facts, const std::vector<TakeReading>& readings,
                       const std::vector<HeldNote>& held, const TakeSummary& summary) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Practice report: " +
        htmlEscaped(facts.source) + "</title>\n<style>\n" + style +
        "\n</style>\n</head>\n<body>\n<h1>Practice report: " + htmlEscaped(facts.source) +
        "</h1>\n" + factsList(facts);
    if (summary.readings == 0)
        return page +
               "<p class=\"none\">No pitch was read anywhere in this take: there is nothing to "
               "plot or list. Is it silent, or far outside the mode's range?</p>\n</body>\n"
               "</html>\n";
    page += "<h2>Summary</h2>\n" + summaryText(summary);
    page += "<h2>Cents from the note</h2>\n" + plot(readings, held, facts.seconds);
    page += "<h2>Notes held</h2>\n" + heldTable(held);
    return page + "</body>\n</html>\n";
}

std::string practiceReport(const TakeFacts& facts, const std::vector<TakeReading>& readings,
                           InstrumentKind kind, double refreshSeconds) {
    const std::vector<HeldNote> held = findHeldNotes(readings, kind, refreshSeconds);
    return reportPage(facts, readings, held, summarizeTake(readings, held));
}

}  // namespace veldra
