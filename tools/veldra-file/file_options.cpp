#include "tools/veldra-file/file_options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace veldra {
namespace {

// Plain decimal seconds, "12", "9.5", ".5": digits with at most one point, nothing else
// (no sign, exponent, hexadecimal, "inf" or spaces, which strtod alone would take).
bool parseSeconds(const std::string& text, double& seconds) {
    const size_t digits =
        std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const size_t points = std::count(text.begin(), text.end(), '.');
    if (digits == 0 || points > 1 || digits + points != text.size()) return false;
    seconds = std::strtod(text.c_str(), nullptr);
    return std::isfinite(seconds);
}

}  // namespace

bool modeFromName(const std::string& name, InstrumentKind& kind) {
    return findInstrument(name, kind);
}

bool parseFileOptions(int argc, const char* const* argv, FileOptions& options, std::string& error) {
    options = FileOptions{};
    std::vector<std::string> inputs;
    ChoiceOverrides given;  // --tuning and the rest, laid over the last mode at the end
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" or "--name value" for the options that take a value.
        std::string value;
        bool hasValue = false;
        if (const size_t eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        const bool takesValue = arg == "--png" || arg == "--at" || arg == "--frames" ||
                                arg == "--report" || choiceOption(arg) == ChoiceOption::TakesValue;
        if (takesValue && !hasValue) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
            hasValue = true;
        }
        if (hasValue && !takesValue) {
            error = arg + " takes no value";
            return false;
        }
        // The options that name a file or folder: an empty name is refused.
        const auto named = [&](std::string& into, const char* what) {
            if (value.empty()) return error = arg + " needs " + what, false;
            into = value;
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options.action = FileAction::Help;
        } else if (arg == "--version") {
            options.action = FileAction::Version;
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--csv") {
            options.csv = true;
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--screen-only") {
            options.screenOnly = true;
        } else if (arg == "--report") {
            if (!named(options.reportPath, "a file name")) return false;
        } else if (choiceOption(arg) != ChoiceOption::No) {
            if (!readChoiceOption(arg, value, given, error)) return false;
            // Each --mode is a mode command of its own, applied in order.
            if (arg == "--mode") options.modes.push_back(*given.mode);
            if (given.listTunings) options.action = FileAction::ListTunings;
        } else if (arg == "--png") {
            if (!named(options.pngPath, "a file name")) return false;
        } else if (arg == "--at") {
            if (!parseSeconds(value, options.atSeconds)) {
                error = "--at needs a number of seconds, 0 or more, not \"" + value + "\"";
                return false;
            }
            options.atGiven = true;
        } else if (arg == "--frames") {
            if (!named(options.framesDir, "a folder")) return false;
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    // --help, --version and --tuning list answer whatever else is on the line.
    if (options.action != FileAction::Run) return true;
    // The mode commands come first; the choices apply to the mode they leave.
    given.mode.reset();
    options.choicesGiven = given.any();
    if (!options.modes.empty()) options.choices.mode = options.modes.back();
    if (!overrideChoices(given, options.choices, error)) return false;
    if (options.atGiven && options.pngPath.empty()) {
        error = "--at says when to take the --png picture; give --png too";
        return false;
    }
    if (options.demo && !inputs.empty()) {
        error = "give either --demo or a sound file, not both";
        return false;
    }
    if (!options.demo && inputs.empty()) {
        error = "no sound file given (or --demo for the built-in performance)";
        return false;
    }
    if (inputs.size() > 1) {
        error = "one sound file at a time (got " + std::to_string(inputs.size()) + ")";
        return false;
    }
    if (!inputs.empty()) options.input = inputs.front();
    return true;
}

std::string fileUsage() {
    return std::string(
               "Usage: veldra-file [options] FILE\n"
               "       veldra-file --demo [options]\n"
               "       veldra-file --tuning list\n") +
           "Runs the Veldra tuner over a sound file (any format libsndfile reads) as fast as\n"
           "the machine allows and prints what the dial shows at each refresh.\n"
           "\n"
           "  --mode NAME     choose a mode before the first block: guitar, violin, cello,\n"
           "                  erhu, pipa, bass, alto or singing (may be repeated; applied in\n"
           "                  order). Without it the tuner is in its start-up state.\n"
           "\n"
           "  The player's choices, for the last --mode (Guitar without one). The program\n"
           "  reads no settings: its output depends on this command line alone.\n" +
           std::string(choiceOptionsHelp) +
           "\n"
           "  --csv           one CSV line per refresh instead of the table\n"
           "  --raw           feed the samples to the analysis untouched, without the input\n"
           "                  conditioning (band, gain and gate)\n"
           "  --report FILE   write a practice report of the take, an HTML page: the cents\n"
           "                  against time, the notes held, how often in tune\n"
           "  --png FILE      write the window (the screen, the readout below it) after the\n"
           "                  last block\n"
           "  --at SECONDS    ... or as it stands at that point of the sound\n"
           "  --frames DIR    write the window at every refresh, DIR/frame-000001.png, ...\n"
           "  --screen-only   the pictures show the 240 x 320 screen alone\n"
           "  --demo          tune the built-in demo performance instead of a file\n"
           "  --help          show this text\n"
           "  --version       show the version\n"
           "\n"
           "Exit status: 0 done, 1 the input could not be read or an output not written,\n"
           "2 a mistake on the command line.\n";
}

}  // namespace veldra
