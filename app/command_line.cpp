#include "app/command_line.h"

#include <string_view>

namespace veldra {

bool parseProgramOptions(int argc, const char* const* argv, ProgramOptions& options,
                         std::string& error) {
    options = ProgramOptions{};
    for (int i = 1; i < argc; ++i) {
        std::string_view word = argv[i];
        std::string_view value;
        bool valueAttached = false;
        if (const size_t equals = word.find('='); word.starts_with("--") && equals != word.npos) {
            value = word.substr(equals + 1);
            word = word.substr(0, equals);
            valueAttached = true;
        }
        const auto alone = [&](ProgramAction action) {
            if (valueAttached) {
                error = std::string(word) + " takes no value";
                return false;
            }
            options.action = action;
            return true;
        };
        if (word == "--help") {
            if (!alone(ProgramAction::Help)) return false;
        } else if (word == "--version") {
            if (!alone(ProgramAction::Version)) return false;
        } else if (word == "--list-inputs") {
            if (!alone(ProgramAction::ListInputs)) return false;
        } else if (const ChoiceOption kind = choiceOption(word); kind != ChoiceOption::No) {
            if (kind == ChoiceOption::Flag && valueAttached) {
                error = std::string(word) + " takes no value";
                return false;
            }
            if (kind == ChoiceOption::TakesValue && !valueAttached) {
                if (i + 1 == argc) {
                    error = std::string(word) + " needs a value";
                    return false;
                }
                value = argv[++i];
            }
            if (!readChoiceOption(word, value, options.choices, error)) return false;
            if (options.choices.listTunings) options.action = ProgramAction::ListTunings;
        } else if (word == "--input") {
            if (!valueAttached) {
                if (i + 1 == argc) {
                    error = "--input needs a value (mic:TEXT, demo or a sound file)";
                    return false;
                }
                value = argv[++i];
            }
            options.inputGiven = true;
            options.input = std::string(value);
        } else {
            error = (word.starts_with("-") ? "unknown option " : "unexpected argument ") +
                    std::string(word);
            return false;
        }
    }
    // A tuning the mode does not have is a mistake on the line, whatever is remembered.
    TunerChoices checked{};
    return options.action != ProgramAction::Run || overrideChoices(options.choices, checked, error);
}

std::string programUsage() {
    return std::string("Usage: veldra [--input VALUE] [choices]\n") +
           "       veldra --list-inputs | --tuning list | --help | --version\n"
           "\n"
           "Veldra listens to a microphone and shows the pitch you play on a spiral dial.\n"
           "\n"
           "  --input VALUE   what to listen to (wins over VELDRA_INPUT):\n"
           "                    mic:TEXT    the first input whose name contains TEXT\n"
           "                    demo        the built-in demo performance\n"
           "                    FILE        a sound file, played at its real pace\n"
           "                  without it, the system's default input\n"
           "\n"
           "  The player's choices, for this run only:\n"
           "  --mode NAME     start in mode NAME: guitar, violin, cello, erhu, pipa, bass,\n"
           "                  alto or singing\n" +
           choiceOptionsHelp +
           "\n"
           "  --list-inputs   list the inputs (the default marked with *) and exit\n"
           "  --help          show this help and exit\n"
           "  --version       show the version and exit\n"
           "\n"
           "Environment: VELDRA_INPUT (as --input), VELDRA_SCALE (the window's size, 1 to 8).\n"
           "Exit status: 0 when closed, 1 when the window or the input cannot be had,\n"
           "2 for a mistake on the command line.\n";
}

}  // namespace veldra
