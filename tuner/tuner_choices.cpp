#include "tuner/tuner_choices.h"

#include "tuner/mode_tuning.h"
#include "tuner/tuner_internal.h"
#include "tuner/tuner_state.h"

namespace veldra {

bool applyTunerChoices(const TunerChoices& choices) {
    if (!validPlayerChoices(choices)) return false;
    const bool newMode = choices.mode != tunerState().choices.mode;
    setPlayerChoices(choices);
    tuner_internal::markTunerChoices(choices);
    if (tunerState().started) setupInstrument(choices.mode);
    if (newMode) applyModeTuning(choices.mode);
    return true;
}

const TunerChoices& tunerChoices() {
    return tunerState().choices;
}

ChoiceOption choiceOption(std::string_view option) {
    if (option == "--mode" || option == "--tuning" || option == "--a4")
        return ChoiceOption::TakesValue;
    if (option == "--flats" || option == "--sharps" || option == "--strings-from-highest" ||
        option == "--strings-from-lowest")
        return ChoiceOption::Flag;
    return ChoiceOption::No;
}

bool readChoiceOption(std::string_view option, std::string_view value, ChoiceOverrides& given,
                      std::string& error) {
    std::string quoted = "\"";  // appended, not added up: GCC 12 misjudges the sum
    quoted.append(value).append("\"");
    if (option == "--mode") {
        InstrumentKind kind{};
        if (!findInstrument(value, kind)) {
            error = "unknown mode " + quoted +
                    " (guitar, violin, cello, erhu, pipa, bass, alto or singing)";
            return false;
        }
        given.mode = kind;
    } else if (option == "--tuning") {
        if (value.empty()) {
            error = "--tuning needs a name (--tuning list shows them)";
            return false;
        }
        if (value == "list")
            given.listTunings = true;
        else
            given.tuning = std::string(value);
    } else if (option == "--a4") {
        int32_t hz = 0;
        if (!parseReferenceA4(value, hz)) {
            error =
                "--a4 takes a whole number of hertz from 415 to 466 or \"default\", not " + quoted;
            return false;
        }
        given.referenceA4 = hz;
    } else if (option == "--flats" || option == "--sharps") {
        given.flats = option == "--flats";
    } else if (option == "--strings-from-highest" || option == "--strings-from-lowest") {
        given.numberFromHighest = option == "--strings-from-highest";
    } else {
        error = "unknown option " + std::string(option);
        return false;
    }
    return true;
}

bool overrideChoices(const ChoiceOverrides& given, TunerChoices& choices, std::string& error) {
    TunerChoices result = choices;
    if (given.mode && *given.mode != result.mode) {
        result.mode = *given.mode;
        result.tuning = 0;
    }
    if (given.tuning) {
        result.tuning = findTuning(result.mode, *given.tuning);
        if (result.tuning < 0) {
            std::string name;
            instrumentName(name, result.mode);
            error = "unknown tuning \"" + *given.tuning + "\" for " + name + " (" +
                    tuningNames(result.mode) + "; --tuning list shows them all)";
            return false;
        }
    }
    if (given.referenceA4) result.referenceA4 = *given.referenceA4;
    if (given.flats) result.flats = *given.flats;
    if (given.numberFromHighest) result.numberFromHighest = *given.numberFromHighest;
    choices = result;
    return true;
}

const char* const choiceOptionsHelp =
    "  --tuning NAME   tune the last --mode in tuning NAME, such as \"drop D\" or viola\n"
    "                  (case, spaces and hyphens do not matter)\n"
    "  --tuning list   show every mode's tunings and exit\n"
    "  --a4 HZ         name notes against A4 = HZ, a whole number from 415 to 466, or\n"
    "                  default (the scale's own 439.96 Hz)\n"
    "  --flats, --sharps  name notes with flats (Bb3) or sharps (A#3, the default)\n"
    "  --strings-from-highest, --strings-from-lowest\n"
    "                  number the open strings from the highest (the guitar's high E is\n"
    "                  string 1) or from the lowest (the default)\n";

}  // namespace veldra
