// veldra-file's command line: what to tune, in which modes, and what to write.
//
//   veldra-file [--mode NAME]... [--tuning NAME] [--a4 HZ] [--flats | --sharps]
//               [--strings-from-highest | --strings-from-lowest]
//               [--csv] [--raw] [--report FILE] [--png FILE [--at SECONDS]]
//               [--frames DIR] [--screen-only] FILE
//   veldra-file --demo [options]      the built-in demo performance instead of a file
//   veldra-file --tuning list         every mode's tunings
//   veldra-file --help | --version
//
// Options may come before or after the file, as "--name value" or "--name=value"; "--"
// ends the options (for a file whose name starts with "-"). A mode may be given several
// times; the commands apply in the order given. --tuning applies to the last mode given
// (Guitar, the start-up mode, without one). --a4 takes a whole number 415..466 or
// "default". --at takes plain decimal seconds ("9.5"). The program reads no settings: the
// output depends on the command line alone.
//
// Thread: any; no state.
#pragma once

#include <string>
#include <vector>

#include "tuner/tuner.h"
#include "views/views.h"

namespace veldra {

enum class FileAction { Run, Help, Version, ListTunings };

struct FileOptions {
    FileAction action = FileAction::Run;
    std::string input;                  // the sound file; empty with demo
    bool demo = false;                  // the built-in performance instead of a file
    std::vector<InstrumentKind> modes;  // mode commands, applied in this order
    // --tuning, --a4, --flats or the like was given: choices (for the last mode) are
    // applied after the mode commands. Without them nothing more is applied, so the run
    // starts exactly as the tuner does.
    bool choicesGiven = false;
    PlayerChoices choices;
    bool csv = false;         // one CSV line per refresh instead of the table
    bool raw = false;         // the samples reach the analysis unconditioned
    std::string pngPath;      // screen picture to write; empty for none
    bool atGiven = false;     // the picture is taken at atSeconds, not at the end
    double atSeconds = 0.0;   // seconds of sound, >= 0
    std::string framesDir;    // folder for one picture per refresh; empty for none
    bool screenOnly = false;  // the pictures show the screen without the readout strip
    std::string reportPath;   // the practice report's page to write; empty for none
};

// Reads argv[1..argc-1] into options. On a usage error returns false with error set to
// one line saying what is wrong (without the program name).
bool parseFileOptions(int argc, const char* const* argv, FileOptions& options, std::string& error);

// The --help text, ending in a newline.
std::string fileUsage();

// The mode named name (guitar, violin, ..., case, spaces and hyphens ignored); false for
// an unknown name.
bool modeFromName(const std::string& name, InstrumentKind& kind);

}  // namespace veldra
