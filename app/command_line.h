// veldra's command line:
//
//   veldra [--input VALUE] [--raw]   the tuner; VALUE chooses what it hears, as
//                            VELDRA_INPUT does (mic:TEXT, demo, a sound file), and wins over
//                            the variable; --raw feeds the analysis without conditioning
//   veldra --list-inputs     the capture devices, one a line, the system's default marked
//   veldra --help | --version
//
// Options as "--name value" or "--name=value". Thread: any; no state.
#pragma once

#include <string>

namespace veldra {

enum class ProgramAction { Run, Help, Version, ListInputs };

struct ProgramOptions {
    ProgramAction action = ProgramAction::Run;
    bool inputGiven = false;  // --input was given
    std::string input;        // its value
    bool raw = false;         // --raw: the samples reach the analysis unconditioned
};

// Reads argv[1..argc-1]. On a mistake: false with error saying what, in one line.
bool parseProgramOptions(int argc, const char* const* argv, ProgramOptions& options,
                         std::string& error);

// The --help text, ending in a newline.
std::string programUsage();

}  // namespace veldra
