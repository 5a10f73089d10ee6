// The player's choices: tunings, the reference pitch, flats and string numbers as the
// dial, readout and information text show them; the checks on choices and command lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "app/command_line.h"
#include "display/display.h"
#include "platform/fonts/fonts.h"
#include "tests/support/tuner_setup.h"
#include "tuner/tuner.h"
#include "views/views.h"

namespace veldra {
namespace {

// Notes as players write them ("D2", "F#3", "Eb2") and where they sound.
int midiNumber(const std::string& note) {
    constexpr int letters[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    int semitone = letters[note[0] - 'A'];
    if (note[1] == '#') ++semitone;
    if (note[1] == 'b') --semitone;
    return 12 * (note.back() - '0' + 1) + semitone;
}

// The scale's own A4: 45 semitones above its C1 of 32.7 Hz.
const double ownA4 = 32.7 * std::exp2(45.0 / 12.0);

double frequencyOf(const std::string& note, double a4) {
    return a4 * std::exp2((midiNumber(note) - 69) / 12.0);
}

// As the tuner prints a note: letter, accidental or blank, octave ("E 2", "Eb2").
std::string printed(const std::string& note) {
    return note.size() == 2 ? note.substr(0, 1) + " " + note.substr(1) : note;
}

struct ExpectedTuning {
    InstrumentKind mode;
    const char* name;
    std::vector<std::string> notes;  // lowest first
};

const ExpectedTuning expectedTunings[] = {
    {InstrumentKind::Guitar, "standard", {"E2", "A2", "D3", "G3", "B3", "E4"}},
    {InstrumentKind::Guitar, "drop D", {"D2", "A2", "D3", "G3", "B3", "E4"}},
    {InstrumentKind::Guitar, "DADGAD", {"D2", "A2", "D3", "G3", "A3", "D4"}},
    {InstrumentKind::Guitar, "open D", {"D2", "A2", "D3", "F#3", "A3", "D4"}},
    {InstrumentKind::Guitar, "open G", {"D2", "G2", "D3", "G3", "B3", "D4"}},
    {InstrumentKind::Guitar, "half step down", {"Eb2", "Ab2", "Db3", "Gb3", "Bb3", "Eb4"}},
    {InstrumentKind::Violin, "standard", {"G3", "D4", "A4", "E5"}},
    {InstrumentKind::Violin, "viola", {"C3", "G3", "D4", "A4"}},
    {InstrumentKind::Cello, "standard", {"C2", "G2", "D3", "A3"}},
    {InstrumentKind::Erhu, "standard", {"D3", "A3"}},
    {InstrumentKind::Pipa, "standard", {"A2", "D3", "E3", "A3"}},
    {InstrumentKind::Bass, "range", {}},
    {InstrumentKind::Bass, "bass guitar", {"E1", "A1", "D2", "G2"}},
    {InstrumentKind::Alto, "range", {}},
    {InstrumentKind::Singing, "range", {}},
};

class PlayerChoicesTest : public ::testing::Test {
  protected:
    void SetUp() override { startTunerModules(); }
    void TearDown() override { resetDisplay(); }
    static uint16_t scale(int32_t x, int32_t y) { return ScaleLayer.pixels[y * 240 + x]; }
    static ReadoutWords wordsAt(double frequency) {
        return wordReadout(
            {ReadoutKind::Reading, static_cast<float>(frequency), tunerChoices().mode});
    }
};

constexpr uint16_t scaleYellow = 0xFBE0;  // string rings

// Every tuning at two references: each ring where a tone at its note puts the needle, the
// information text naming the string and the note's frequency. (The readout's string
// names come from the same tuning; the cases below check them.)
TEST_F(PlayerChoicesTest, EachTuningsRingsSitWhereItsNotesSoundAtEveryReference) {
    for (int32_t k = 0; k < instrumentKindCount; ++k) {
        const auto kind = static_cast<InstrumentKind>(k);
        int32_t listed = 0;
        for (const ExpectedTuning& t : expectedTunings)
            listed += t.mode == kind;
        EXPECT_EQ(modeEntry(kind)->tuningCount, listed) << k;  // none missing, none extra
    }
    for (const int32_t reference : {0, 466}) {
        const double a4 = reference == 0 ? ownA4 : reference;
        for (const ExpectedTuning& t : expectedTunings) {
            SCOPED_TRACE(std::string(t.name) + " at A4 " + std::to_string(reference));
            const bool flats = t.notes.size() > 0 && t.notes[0][1] == 'b';
            const int32_t index = findTuning(t.mode, t.name);
            ASSERT_TRUE(applyTunerChoices({t.mode, index, reference, flats, false}));
            const DialState& dial = dialState();
            ASSERT_EQ(dial.stringCount, static_cast<int32_t>(t.notes.size()));
            std::istringstream info(composeInstrumentInfo(t.mode));
            std::string line;
            std::getline(std::getline(std::getline(info, line), line), line);
            for (size_t i = 0; i < t.notes.size(); ++i) {
                const double f = frequencyOf(t.notes[i], a4);
                const int32_t ring = angleIndex(dial.stringPositions[i]);
                int32_t x, y;
                dialPoint(ring, 0, x, y);
                EXPECT_EQ(std::pair(scale(x - 6, y), scale(x, y)),
                          std::pair(scaleYellow, uint16_t{0}));
                updateDial(static_cast<float>(f), true, {0.0, 0.0});
                EXPECT_EQ(dial.reading, DialReading::Needle);
                EXPECT_NEAR(dial.readingAngle, ring, 1) << t.notes[i];

                std::getline(info, line);
                int number = 0;
                char name[4] = {};
                double hz = 0;
                ASSERT_EQ(std::sscanf(line.c_str(), "String %d is: %3c, i.e. %lf Hz.", &number,
                                      name, &hz),
                          3)
                    << line;
                EXPECT_EQ(std::tuple(number, std::string(name)),
                          std::tuple(static_cast<int>(i + 1), printed(t.notes[i])));
                EXPECT_NEAR(hz, f, 0.006) << line;
            }
            resetLayers();
        }
    }
}

// A tone 5 cents above A4 = 442 Hz: the needle 5 cents past the scale's A4, the readout
// +5 from A 4 and from the violin's A string (the scale's own A4 would make it +13).
TEST_F(PlayerChoicesTest, AToneFiveCentsAboveA442ReadsPlusFiveWithThatReference) {
    const double tone = 442.0 * std::exp2(5.0 / 1200.0);
    ASSERT_TRUE(applyTunerChoices({InstrumentKind::Violin, 0, 442, false, false}));
    updateDial(static_cast<float>(tone), true, {0.0, 0.0});
    EXPECT_NEAR(dialState().readingAngle, (4.75 + 5.0 / 1200.0 - 3.0) * 1024.0, 1);
    const ReadoutWords words = wordsAt(tone);
    EXPECT_EQ(std::tuple(std::string(words.note), std::string(words.cents), words.centsInTune),
              std::tuple("A 4", "+5 cents", true));
    EXPECT_EQ(std::tuple(std::string(words.string), std::string(words.stringCents)),
              std::tuple("string 3, A 4:", "+5"));
    EXPECT_NE(composeInstrumentInfo(InstrumentKind::Violin).find("with A4 at 442 Hz\n"),
              std::string::npos);
}

TEST_F(PlayerChoicesTest, FlatsSpellNotesAndHighestFirstNumbersTheStrings) {
    const double aSharp4 = frequencyOf("Bb4", ownA4);
    EXPECT_EQ(std::string(wordsAt(aSharp4).note), "A#4");
    ASSERT_TRUE(applyTunerChoices({InstrumentKind::Guitar, 5, 0, true, true}));  // half step down
    EXPECT_EQ(std::string(wordsAt(aSharp4).note), "Bb4");
    // Guitar's high string is string 1, its low string 6, in the readout and the text.
    EXPECT_EQ(std::string(wordsAt(frequencyOf("Eb4", ownA4)).string), "string 1, Eb4:");
    EXPECT_EQ(std::string(wordsAt(frequencyOf("Eb2", ownA4)).string), "string 6, Eb2:");
    const std::string info = composeInstrumentInfo(InstrumentKind::Guitar);
    EXPECT_EQ(info.substr(0, info.find("String 2")),
              "You chose Guitar (half step down),\nwhich ranges from C2 to C5\n\n"
              "String 1 is: Eb4, i.e.  311.10 Hz.\n");
    EXPECT_NE(info.find("String 6 is: Eb2"), std::string::npos);
}

// The longest information texts (every tuning, a reference, the string numbers of two
// digits' width never needed) stay above the O.K. band in the window's font: a tuning's
// name or the reference wrapping onto a line of its own would push the strings under it.
TEST_F(PlayerChoicesTest, EveryInformationTextFitsAboveTheOkBand) {
    const GlyphFont& font = *builtInFonts().system().text;
    for (const ExpectedTuning& t : expectedTunings) {
        ASSERT_TRUE(applyTunerChoices({t.mode, findTuning(t.mode, t.name), 466, true, true}));
        const std::string info = composeInstrumentInfo(t.mode);
        EXPECT_LE(infoTextTop + textHeight(font, info, 240, true), okBandRect.top) << info;
        EXPECT_EQ(textHeight(font, info, 240, true), textHeight(font, info, 1000, true)) << info;
    }
}

TEST_F(PlayerChoicesTest, ChoicesOutOfRangeChangeNothing) {
    ASSERT_TRUE(applyTunerChoices({InstrumentKind::Violin, 1, 415, true, false}));
    const TunerChoices before = tunerChoices();
    for (const TunerChoices& choices : {TunerChoices{InstrumentKind::Guitar, 6, 0, false, false},
                                        {InstrumentKind::Guitar, -1, 0, false, false},
                                        {InstrumentKind::Guitar, 0, 414, false, false},
                                        {InstrumentKind::Guitar, 0, 467, false, false},
                                        {static_cast<InstrumentKind>(8), 0, 0, false, false}}) {
        EXPECT_FALSE(applyTunerChoices(choices));
        EXPECT_EQ(tunerChoices(), before);
        EXPECT_EQ(playerChoices(), before);
        EXPECT_EQ(dialState().stringPositions, modeTuning(InstrumentKind::Violin, 1)->strings);
    }
}

// A new mode brings its analysis values, as the menu does; a tuning or reference for the
// mode in force leaves the analysis alone. The menu's mode keeps its tuning, another mode
// starts in its default.
TEST_F(PlayerChoicesTest, ATuningKeepsTheAnalysisAndTheMenuKeepsTheTuningOfItsMode) {
    const auto values = [] {
        return std::pair(validatorState().smoothingSpan, validatorState().periodTolerance);
    };
    ASSERT_TRUE(applyTunerChoices({InstrumentKind::Singing, 0, 0, false, false}));
    const auto singing = values();
    EXPECT_EQ(singing, std::pair(1378.0f, 0.08f));
    ASSERT_TRUE(applyTunerChoices({InstrumentKind::Guitar, 1, 440, false, false}));
    EXPECT_EQ(values(), std::pair(2756.0f, 0.035f));
    setSmoothingSpan(1000.0);
    ASSERT_TRUE(applyTunerChoices({InstrumentKind::Guitar, 2, 0, false, false}));
    EXPECT_EQ(values().first, 1000.0f);

    applyTunerMode(InstrumentKind::Guitar);
    EXPECT_EQ(tunerChoices().tuning, 2);
    applyTunerMode(InstrumentKind::Violin);
    EXPECT_EQ(std::pair(tunerChoices().mode, tunerChoices().tuning),
              std::pair(InstrumentKind::Violin, 0));
    EXPECT_EQ(dialState().stringPositions, modeTuning(InstrumentKind::Violin, 0)->strings);
}

// Names and values as the command lines and the settings take them.
TEST(ChoiceNamesTest, TuningsModesAndReferencesByName) {
    EXPECT_EQ(findTuning(InstrumentKind::Guitar, "Drop-D"), 1);
    EXPECT_EQ(findTuning(InstrumentKind::Guitar, "HALF STEP-down"), 5);
    EXPECT_EQ(findTuning(InstrumentKind::Guitar, "viola"), -1);
    InstrumentKind kind = InstrumentKind::Guitar;
    EXPECT_TRUE(findInstrument("SINGING", kind));
    EXPECT_EQ(kind, InstrumentKind::Singing);
    EXPECT_FALSE(findInstrument("lute", kind));

    for (const char* good : {"415", "466", "Default"}) {
        int32_t hz = -1;
        EXPECT_TRUE(parseReferenceA4(good, hz)) << good;
        char text[8];
        EXPECT_EQ(std::string(referenceA4Text(hz, text)),
                  std::string(good) == "Default" ? "default" : good);
    }
    for (const char* bad : {"414", "467", "442.0", "+442", " 442", "", "defaults"}) {
        int32_t hz = 7;
        EXPECT_FALSE(parseReferenceA4(bad, hz)) << bad;
        EXPECT_EQ(hz, 7);
    }
}

// The error line for each wrong value; a tuning looked up in the mode in force.
TEST(ChoiceNamesTest, CommandLinesRefuseWrongValuesInOneLine) {
    // The options over the choices in force: parsed, then laid over them.
    const auto give = [](std::vector<const char*> args, TunerChoices& choices,
                         std::string& error) -> std::optional<ProgramOptions> {
        args.insert(args.begin(), "veldra");
        ProgramOptions options;
        if (!parseProgramOptions(static_cast<int>(args.size()), args.data(), options, error) ||
            !overrideChoices(options.choices, choices, error))
            return std::nullopt;
        return options;
    };
    const std::pair<std::vector<const char*>, const char*> wrong[] = {
        {{"--a4", "414"},
         "--a4 takes a whole number of hertz from 415 to 466 or \"default\", not \"414\""},
        {{"--a4"}, "--a4 needs a value"},
        {{"--tuning", "viola"}, "unknown tuning \"viola\" for Guitar (standard, drop D, DADGAD"},
        {{"--flats=yes"}, "--flats takes no value"},
        {{"--mode", "lute"}, "unknown mode \"lute\""},
    };
    for (const auto& [args, said] : wrong) {
        std::string error;
        TunerChoices choices{};
        EXPECT_FALSE(give(args, choices, error)) << said;
        EXPECT_NE(error.find(said), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(choices, TunerChoices{});
    }
    std::string error;
    TunerChoices remembered{InstrumentKind::Violin, 0, 442, false, true};
    ASSERT_TRUE(give({"--tuning", "Viola", "--a4=default", "--flats"}, remembered, error)) << error;
    EXPECT_EQ(remembered, (TunerChoices{InstrumentKind::Violin, 1, 0, true, true}));
    ASSERT_TRUE(give({"--mode", "guitar"}, remembered, error));
    EXPECT_EQ(remembered, (TunerChoices{InstrumentKind::Guitar, 0, 0, true, true}));
}

}  // namespace
}  // namespace veldra
