// What veldra-file tells a person: the command line it understands, note names and cents
// on the tuner's scale (C1 = 32.7 Hz), the nearest open string, the folded table, and the
// demo performance read back through the whole tuner.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/veldra-file/file_options.h"
#include "tools/veldra-file/file_report.h"
#include "tools/veldra-file/file_tuner.h"

namespace veldra {
namespace {

bool parse(std::vector<std::string> args, FileOptions& options, std::string& error) {
    args.insert(args.begin(), "veldra-file");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    return parseFileOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(VeldraFileOptionsTest, ModesKeepTheirOrderAndOptionsMayFollowTheFile) {
    FileOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--mode", "Singing", "take.flac", "--mode=guitar", "--csv", "--png=a.png", "--at", "2.5"}, o, error)) << error;
    EXPECT_EQ(o.input, "take.flac");
    EXPECT_EQ(o.modes, (std::vector<InstrumentKind>{InstrumentKind::Singing, InstrumentKind::Guitar}));
    EXPECT_TRUE(o.csv);
    EXPECT_EQ(o.pngPath, "a.png");
    EXPECT_TRUE(o.atGiven);
    EXPECT_DOUBLE_EQ(o.atSeconds, 2.5);

    // After "--" a name that starts with a dash is a file.
    ASSERT_TRUE(parse({"--csv", "--", "-odd name.wav"}, o, error)) << error;
    EXPECT_EQ(o.input, "-odd name.wav");

    // --help and --version answer whatever else is on the line.
    ASSERT_TRUE(parse({"--help", "x.wav", "y.wav"}, o, error));
    EXPECT_EQ(o.action, FileAction::Help);
    ASSERT_TRUE(parse({"x.wav", "--version", "y.wav"}, o, error));
    EXPECT_EQ(o.action, FileAction::Version);

    for (const char* name : {"guitar", "violin", "cello", "erhu", "pipa", "bass", "alto", "singing"}) {
        InstrumentKind kind{};
        EXPECT_TRUE(modeFromName(name, kind)) << name;
        std::string display;
        instrumentName(display, kind);
        EXPECT_EQ(modeFromName(display, kind), true) << "display name " << display;
    }
}

TEST(VeldraFileOptionsTest, MistakesSayWhat) {
    FileOptions o;
    std::string error;
    EXPECT_FALSE(parse({"--mode", "banjo", "x.wav"}, o, error));
    EXPECT_NE(error.find("banjo"), std::string::npos);
    EXPECT_FALSE(parse({"x.wav", "--png"}, o, error));
    EXPECT_NE(error.find("--png needs a value"), std::string::npos);
    EXPECT_FALSE(parse({"--at", "1", "x.wav"}, o, error));
    EXPECT_NE(error.find("--png"), std::string::npos);
    EXPECT_FALSE(parse({"--png", "p.png", "--at", "nan", "x.wav"}, o, error));
    EXPECT_FALSE(parse({"--png", "p.png", "--at", "1s", "x.wav"}, o, error));
    EXPECT_FALSE(parse({"--demo", "x.wav"}, o, error));
    EXPECT_FALSE(parse({}, o, error));
    EXPECT_NE(error.find("--demo"), std::string::npos);
}

TEST(VeldraFileReportTest, NotesAndCentsOnTheTunersScale) {
    struct Case {
        double hz;
        const char* name;
        double cents;
    };
    const double a4 = 32.7 * std::exp2(3.75);  // 439.96 Hz on this scale
    const Case cases[] = {
        {32.7, "C 1", 0.0},
        {a4, "A 4", 0.0},
        {440.0, "A 4", 1200 * std::log2(440.0 / a4)},  // a little sharp here
        {a4 * std::exp2(49.9 / 1200), "A 4", 49.9},
        {a4 * std::exp2(50.1 / 1200), "A#4", -49.9},
        {32.7 * std::exp2(1 / 12.0) * std::exp2(-10 / 1200.0), "C#1", -10.0},
        {32.7 * std::exp2(2 + 4 / 12.0 + 15 / 1200.0), "E 3", 15.0},
        {2205.0, "C#7", 1200 * std::log2(2205.0 / (32.7 * std::exp2(6 + 1 / 12.0)))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hz);
        const NoteReading r = nameNote(c.hz);
        EXPECT_STREQ(r.name, c.name);
        EXPECT_NEAR(r.cents, c.cents, 1e-6);
    }
}

TEST(VeldraFileReportTest, NearestOpenStringWithinASemitone) {
    const StringMatch a = nearestString(InstrumentKind::Guitar, 109.0);
    ASSERT_TRUE(a.found);
    EXPECT_EQ(a.number, 2);
    EXPECT_STREQ(a.name, "A 2");
    EXPECT_NEAR(a.cents, 1200 * std::log2(109.0 / 109.99), 0.05);
    // Between A2 and D3, more than a semitone from both.
    EXPECT_FALSE(nearestString(InstrumentKind::Guitar, 128.0).found);
    // Nearer string wins: 300 Hz is 187 cents above G3... and 163 below E4: neither.
    EXPECT_FALSE(nearestString(InstrumentKind::Guitar, 300.0).found);
    const StringMatch e4 = nearestString(InstrumentKind::Guitar, 320.0);
    ASSERT_TRUE(e4.found);
    EXPECT_EQ(e4.number, 6);
    // A shared pitch: Pipa's D3 is its second string.
    const StringMatch d3 = nearestString(InstrumentKind::Pipa, 147.0);
    ASSERT_TRUE(d3.found);
    EXPECT_EQ(d3.number, 2);
    // The modes without strings never name one.
    for (InstrumentKind k : {InstrumentKind::Bass, InstrumentKind::Alto, InstrumentKind::Singing})
        EXPECT_FALSE(nearestString(k, 110.0).found);
    // Just inside and just outside a semitone above the low E.
    const double e2 = 32.7 * std::exp2(1 + 4 / 12.0);
    EXPECT_TRUE(nearestString(InstrumentKind::Guitar, e2 * std::exp2(99.0 / 1200)).found);
    EXPECT_FALSE(nearestString(InstrumentKind::Guitar, e2 * std::exp2(100.5 / 1200)).found);
}

RefreshRow row(int64_t block, float hz, bool stable) {
    RefreshRow r{};
    r.block = block;
    r.frequency = hz;
    r.stable = stable;
    return r;
}

TEST(VeldraFileReportTest, TableShowsStableRefreshesAndFoldsRepeats) {
    std::ostringstream out;
    TableWriter table(out, InstrumentKind::Guitar);
    table.begin("Veldra -- Guitar", "take.wav");
    table.add(row(11, 22050.0f, false));
    table.add(row(21, 109.0f, true));
    table.add(row(31, 109.0f, true));
    table.add(row(41, 109.0f, true));
    table.add(row(51, 146.8f, true));
    table.add(row(61, 146.8f, false));  // a pause breaks the fold
    table.add(row(71, 146.8f, true));
    table.end();
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 5u) << out.str();
    EXPECT_EQ(lines[0], "Veldra -- Guitar  (take.wav)");
    EXPECT_NE(lines[2].find(" 0.21-0.41 "), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("A 2     -16    109.0 Hz   2: A 2  -16"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find(" 0.51 "), std::string::npos) << lines[3];
    EXPECT_NE(lines[3].find("D 3       0    146.8 Hz   3: D 3    0"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find(" 0.71 "), std::string::npos) << lines[4];

    std::ostringstream none;
    TableWriter quiet(none, InstrumentKind::Bass);
    quiet.begin("Veldra -- Bass", "silence.wav");
    quiet.add(row(11, 22050.0f, false));
    quiet.end();
    EXPECT_NE(none.str().find("no stable pitch"), std::string::npos);
}

// The demo through the whole tuner, as `make demo` shows it: for each open string the
// reading held longest is its note with its detuning, and the vowel rises from A3 to A#3.
TEST(VeldraFileReportTest, DemoTableShowsEachStringAndItsDetuning) {
    FileOptions options;
    options.demo = true;
    std::ostringstream out, err;
    ASSERT_EQ(runFileTuner(options, out, err), 0) << err.str();
    struct Held {
        double seconds = 0;
        std::string cents;
    };
    std::map<std::string, Held> longest;  // per open string ("1: E 2"), the longest-held line
    std::vector<std::string> notes;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) {
        if (line.find(" Hz") == std::string::npos) continue;
        double from = 0, to = 0;
        if (std::sscanf(line.c_str(), "%lf-%lf", &from, &to) != 2) to = from;
        notes.push_back(line.substr(17, 3));
        const size_t colon = line.find(": ");
        if (colon == std::string::npos) continue;
        const std::string string = line.substr(colon - 1, 6);
        std::istringstream rest(line.substr(colon + 5));
        std::string cents;
        rest >> cents;
        if (to - from > longest[string].seconds) longest[string] = {to - from, cents};
    }
    const std::map<std::string, std::string> expected = {
        {"1: E 2", "0"}, {"2: A 2", "-15"}, {"3: D 3", "0"}, {"4: G 3", "+10"}, {"5: B 3", "0"}, {"6: E 4", "0"},
    };
    for (const auto& [string, cents] : expected) {
        SCOPED_TRACE(string);
        ASSERT_TRUE(longest.count(string)) << out.str();
        EXPECT_EQ(longest[string].cents, cents);
        EXPECT_GE(longest[string].seconds, 0.5);
    }
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back(), "A#3");
    EXPECT_NE(std::find(notes.begin(), notes.end(), "A 3"), notes.end());
}

}  // namespace
}  // namespace veldra
