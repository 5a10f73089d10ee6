// What veldra-file tells a person: the command line, note names and cents on the tuner's
// scale (C1 = 32.7 Hz), the nearest open string, the folded table, and the demo
// performance read back through the whole tuner.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <vector>

#include "tools/veldra-file/file_options.h"
#include "tools/veldra-file/file_report.h"
#include "tools/veldra-file/file_tuner.h"

namespace veldra {
namespace {

// Mode commands keep their order, options may follow the file, "--" ends the options.
TEST(VeldraFileReportTest, CommandLine) {
    FileOptions o;
    std::string error;
    const auto parse = [&](std::vector<const char*> args) {
        args.insert(args.begin(), "veldra-file");
        return parseFileOptions(static_cast<int>(args.size()), args.data(), o, error);
    };
    ASSERT_TRUE(parse({"--mode", "Singing", "take.flac", "--mode=guitar", "--png=a.png", "--at", "2.5"})) << error;
    EXPECT_EQ(o.input, "take.flac");
    EXPECT_EQ(o.modes, (std::vector<InstrumentKind>{InstrumentKind::Singing, InstrumentKind::Guitar}));
    EXPECT_DOUBLE_EQ(o.atSeconds, 2.5);
    ASSERT_TRUE(parse({"--csv", "--", "-odd.wav"}));
    EXPECT_EQ(o.input, "-odd.wav");
}

// A4 is 439.96 Hz here: 440 Hz is A 4 and 0.17 cents sharp. Past 50 cents the next note
// names it; a string within a semitone is found, one further off is not.
TEST(VeldraFileReportTest, NotesAndCentsOnTheTunersScale) {
    const double a4 = 32.7 * std::exp2(3.75);
    const std::tuple<double, const char*, double> cases[] = {
        {32.7, "C 1", 0.0}, {440.0, "A 4", 0.169}, {a4 * std::exp2(49.9 / 1200), "A 4", 49.9},
        {a4 * std::exp2(50.1 / 1200), "A#4", -49.9}, {32.7 * std::exp2(1 + 4 / 12.0 - 15 / 1200.0), "E 2", -15.0}};
    for (const auto& [hz, name, cents] : cases) {
        const NoteReading r = nameNote(hz);
        EXPECT_STREQ(r.name, name) << hz;
        EXPECT_NEAR(r.cents, cents, 1e-3) << hz;
    }
    const StringMatch a = nearestString(InstrumentKind::Guitar, 109.0);
    ASSERT_TRUE(a.found);
    EXPECT_EQ(a.number, 2);
    EXPECT_STREQ(a.name, "A 2");
    EXPECT_NEAR(a.cents, -15.66, 0.05);  // against the string's 109.99 Hz
    EXPECT_FALSE(nearestString(InstrumentKind::Guitar, 128.0).found);  // a semitone off A2 and D3
    EXPECT_FALSE(nearestString(InstrumentKind::Singing, 110.0).found);
    const double e2 = 32.7 * std::exp2(1 + 4 / 12.0);
    EXPECT_TRUE(nearestString(InstrumentKind::Guitar, e2 * std::exp2(99.0 / 1200)).found);
    EXPECT_FALSE(nearestString(InstrumentKind::Guitar, e2 * std::exp2(100.5 / 1200)).found);
}

// The demo through the whole tuner, as `make demo` shows it: for each open string the
// reading held longest (repeats folded into one line with a time span) is its note with
// its detuning; the vowel holds A3, rises through the semitone and ends on A#3.
TEST(VeldraFileReportTest, DemoShowsEachStringWithItsDetuningAndTheGlide) {
    FileOptions options;
    options.demo = true;
    std::ostringstream out, err;
    ASSERT_EQ(runFileTuner(options, out, err), 0) << err.str();
    std::map<std::string, std::pair<double, int>> longest;  // string -> (seconds held, cents)
    std::vector<std::pair<std::string, int>> readings;      // note, cents, in order
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) {
        double from = 0, to = 0;
        char note[4] = {}, stringNote[4] = {};
        int cents = 0, number = 0, stringCents = 0;
        const int n = std::sscanf(line.c_str(), "%lf-%lf", &from, &to);
        if (n < 1 || line.find(" Hz") == std::string::npos) continue;
        std::sscanf(line.c_str() + 17, "%3c %d", note, &cents);
        readings.emplace_back(note, cents);
        const double held = n == 1 ? 0 : to - from;
        if (std::sscanf(line.c_str() + line.find(" Hz") + 3, " %d: %3c %d", &number, stringNote, &stringCents) == 3 &&
            held > longest[stringNote].first)
            longest[stringNote] = {held, stringCents};
    }
    for (const auto& [string, cents] : std::map<std::string, int>{{"E 2", 0}, {"A 2", -15}, {"D 3", 0}, {"G 3", 10},
                                                                  {"B 3", 0}, {"E 4", 0}}) {
        EXPECT_EQ(longest[string].second, cents) << string << "\n" << out.str();
        EXPECT_GE(longest[string].first, 0.5) << string;
    }
    // The glide: A3 in tune, then only rising readings up to A#3 in tune.
    auto it = std::find(readings.begin(), readings.end(), std::pair<std::string, int>("A 3", 0));
    ASSERT_NE(it, readings.end());
    double last = 0;
    for (; it != readings.end() && (it->first == "A 3" || it->first == "A#3"); ++it) {
        const double position = (it->first == "A#3" ? 100 : 0) + it->second;
        EXPECT_GE(position, last - 1) << it->first << " " << it->second;
        last = std::max(last, position);
    }
    EXPECT_EQ(readings.back().first, "A#3");
    EXPECT_GE(last, 99);
}

}  // namespace
}  // namespace veldra
