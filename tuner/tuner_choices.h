// The player's choices, owned by the tuner: the mode, its tuning, the reference A4, the
// note spelling and the string numbering. Whatever chooses (the menus, a settings dialog,
// a settings file, a command line) hands the whole record to applyTunerChoices; the tuner
// keeps it, hands the views their copy and sets the dial up again.
//
// The fields and their ranges are views/player_choices.h's PlayerChoices:
//   mode               the mode tuned; Guitar at start
//   tuning             index into the mode's tunings (views: modeTuning, findTuning);
//                      0 = the mode's default
//   referenceA4        Hz, 415..466; 0 = the scale's own (439.96 Hz)
//   flats              note names with flats ("Bb3") rather than sharps ("A#3")
//   numberFromHighest  string 1 is the highest string rather than the lowest
//
// A new mode brings its tuning values for the analysis (mode_tuning.h), as choosing it from
// the menu does; with the same mode the analysis is left as it is, so choosing a tuning or
// a reference never disturbs the pitch being followed.
//
// Thread: main thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "views/views.h"

namespace veldra {

using TunerChoices = PlayerChoices;

// Applies choices when every field is in range (validPlayerChoices) and returns true;
// otherwise changes nothing and returns false. Once the views are set up the dial is set
// up again for the choices (its rings, a fresh ink layer); before that, the first paint
// sets it up for them.
bool applyTunerChoices(const TunerChoices& choices);

// The choices in force.
const TunerChoices& tunerChoices();

// The choices a command line gives for one run, laid over those in force (remembered or
// the defaults): what is not given stays as it was.
struct ChoiceOverrides {
    std::optional<InstrumentKind> mode;     // --mode, the last one given
    std::optional<std::string> tuning;      // --tuning NAME: a tuning of the resulting mode
    std::optional<int32_t> referenceA4;     // --a4 HZ: 415..466, or 0 for "default"
    std::optional<bool> flats;              // --flats (true), --sharps (false)
    std::optional<bool> numberFromHighest;  // --strings-from-highest, --strings-from-lowest
    bool listTunings = false;               // --tuning list: print the tunings instead

    bool any() const { return mode || tuning || referenceA4 || flats || numberFromHighest; }
};

// Whether option ("--a4", ...) is one of the choice options, and whether it takes a value.
enum class ChoiceOption { No, Flag, TakesValue };
ChoiceOption choiceOption(std::string_view option);

// Reads one choice option and its value (empty for a flag) into given. A value that is
// wrong ("--a4 414", "--mode lute"): false and error says so in one line.
bool readChoiceOption(std::string_view option, std::string_view value, ChoiceOverrides& given,
                      std::string& error);

// Lays given over choices. Another mode starts in its default tuning; the tuning is looked
// up in the resulting mode. A tuning that mode does not have: false, error in one line
// naming the mode's tunings, choices unchanged.
bool overrideChoices(const ChoiceOverrides& given, TunerChoices& choices, std::string& error);

// The help lines for the choice options, shared by both programs' --help.
extern const char* const choiceOptionsHelp;

}  // namespace veldra
