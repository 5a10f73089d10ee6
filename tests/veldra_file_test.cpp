// veldra-file's tuner in this process: the reference recordings line for line, and what
// it tells a person (the command line, note names, the nearest string, the demo).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/scratch_files.h"
#include "tools/veldra-file/file_options.h"
#include "tools/veldra-file/file_report.h"
#include "tools/veldra-file/file_tuner.h"

namespace veldra {
namespace {

// ---- The whole tuner over the reference recordings: veldra-file --csv must print the
// expected lines exactly, in the start-up state and after each file's mode commands. Any
// difference in the analysis, the dial or the refresh pacing shows up here, and so does
// any state one run leaves to the next, since the cases run in one process. A differing
// line names its differing columns: period, recent_period and recent_count come from the
// analysis alone, frequency_hz, stable and needle from the pipeline and the dial.

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

// The columns in which two CSV lines differ, by their names in the header.
std::string differingColumns(const std::string& header, const std::string& got,
                             const std::string& want) {
    const auto names = split(header, ','), a = split(got, ','), b = split(want, ',');
    std::string differing;
    for (size_t i = 0; i < names.size(); ++i)
        if (i >= a.size() || i >= b.size() || a[i] != b[i]) differing += " " + names[i];
    return differing;
}

class VeldraFileReferenceTest : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(VeldraFileReferenceTest, CsvMatchesLineForLine) {
    const ReferenceCase& c = GetParam();
    std::vector<std::string> args = {"veldra-file", "--csv"};
    for (const std::string& mode : split(c.modes, '-'))
        if (mode != "startup") args.insert(args.end(), {"--mode", mode});
    args.push_back(testDataPath(c.recording + ".wav"));
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    FileOptions options;
    std::string error;
    ASSERT_TRUE(parseFileOptions(static_cast<int>(argv.size()), argv.data(), options, error)) << error;

    std::ostringstream out, err;
    ASSERT_EQ(runFileTuner(options, out, err), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    const auto got = split(out.str(), '\n');
    const auto want = split(readWholeFile(testDataPath(c.recording + "." + c.modes + ".csv")), '\n');
    ASSERT_GT(want.size(), 10u);
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i)
        ASSERT_EQ(got[i], want[i]) << "line " << i + 1 << ", differing:" << differingColumns(want[0], got[i], want[i]);
    EXPECT_EQ(got.size(), want.size());
}

// The same file from memory (the fuzzer's road) gives the same lines, up to the limit;
// damaged bytes give the one-line error that names what the caller called them.
TEST(VeldraFileFromMemoryTest, SameLinesAsFromThePathUpToTheLimit) {
    const std::string bytes = readWholeFile(testDataPath("elec_guitar_six_strings.wav"));
    const auto want = split(readWholeFile(testDataPath("elec_guitar_six_strings.guitar.csv")), '\n');
    FileOptions options;
    options.input = "take";
    options.csv = true;
    options.modes = {InstrumentKind::Guitar};

    std::ostringstream all, err;
    ASSERT_EQ(runFileTunerOnBytes(bytes.data(), bytes.size(), 1e6, options, all, err), 0) << err.str();
    EXPECT_EQ(split(all.str(), '\n'), want);
    // 2 s end after block 200 (44000 samples): refresh points up to (44000 - 1) / 2205 = 19.
    std::ostringstream cut;
    ASSERT_EQ(runFileTunerOnBytes(bytes.data(), bytes.size(), 2.0, options, cut, err), 0);
    EXPECT_EQ(split(cut.str(), '\n'), std::vector<std::string>(want.begin(), want.begin() + 1 + 19));

    std::ostringstream none;
    EXPECT_EQ(runFileTunerOnBytes(bytes.data(), 30, 1e6, options, none, err), 1);
    const std::string message = err.str();
    EXPECT_EQ(message.rfind("veldra-file: take: truncated", 0), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    EXPECT_EQ(none.str(), "");
}

INSTANTIATE_TEST_SUITE_P(Recordings, VeldraFileReferenceTest, ::testing::ValuesIn(referenceCases()),
                         [](const auto& info) {
                             std::string name = info.param.recording + "_" + info.param.modes;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// ---- What veldra-file tells a person: the command line, note names and cents on the
// tuner's scale (C1 = 32.7 Hz), the nearest open string, the folded table, and the demo
// performance read back through the whole tuner.

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
