// veldra's command line:
//
//   veldra [--input VALUE]   the tuner; VALUE chooses what it hears, as VELDRA_INPUT does
//                            (mic:TEXT, demo, a sound file), and wins over the variable
//          [--mode NAME] [--tuning NAME] [--a4 HZ] [--flats | --sharps]
//          [--strings-from-highest | --strings-from-lowest]
//                            the player's choices for this run (tuner_choices.h), laid over
//                            the ones in force; --tuning is for the last --mode
//   veldra --list-inputs     the capture devices, one a line, the system's default marked
//   veldra --tuning list     every mode's tunings
//   veldra --help | --version
//
// Options as "--name value" or "--name=value". Thread: any; no state.
#pragma once

#include <string>

#include "tuner/tuner.h"

namespace veldra {

enum class ProgramAction { Run, Help, Version, ListInputs, ListTunings };

struct ProgramOptions {
    ProgramAction action = ProgramAction::Run;
    bool inputGiven = false;  // --input was given
    std::string input;        // its value
    ChoiceOverrides choices;  // --mode, --tuning, --a4, ...: for this run only
};

// Reads argv[1..argc-1]. On a mistake: false with error saying what, in one line. A
// --tuning that is no tuning of the default mode (Guitar, or the last --mode) is such a
// mistake; over remembered choices overrideChoices checks it again.
bool parseProgramOptions(int argc, const char* const* argv, ProgramOptions& options,
                         std::string& error);

// The --help text, ending in a newline.
std::string programUsage();

}  // namespace veldra
