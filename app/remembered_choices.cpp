#include "app/remembered_choices.h"

#include <cctype>
#include <string>

namespace veldra {
namespace {

std::string lowerCase(std::string_view text) {
    std::string lower;
    for (const char c : text)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// One of two words: false for anything else.
bool either(std::string_view text, const char* no, const char* yes, bool& value) {
    if (text != no && text != yes) return false;
    value = text == yes;
    return true;
}

}  // namespace

RememberedChoices choicesFromSettings(const SettingsValues& values) {
    RememberedChoices choices;
    const auto value = [&](std::string_view name) -> const std::string* {
        const auto found = values.find(name);
        return found == values.end() ? nullptr : &found->second;
    };
    TunerChoices& t = choices.tuner;
    if (const std::string* mode = value("mode")) findInstrument(*mode, t.mode);
    if (const std::string* tuning = value("tuning"))
        t.tuning = std::max(0, findTuning(t.mode, *tuning));
    if (const std::string* a4 = value("a4")) parseReferenceA4(*a4, t.referenceA4);
    if (const std::string* names = value("names")) either(*names, "sharps", "flats", t.flats);
    if (const std::string* strings = value("strings"))
        either(*strings, "lowest", "highest", t.numberFromHighest);
    if (const std::string* notice = value("notice"))
        either(*notice, "show", "skip", choices.skipNotice);
    return choices;
}

void writeChoices(const RememberedChoices& choices, SettingsValues& values) {
    const TunerChoices& t = choices.tuner;
    std::string mode;
    instrumentName(mode, t.mode);
    values["mode"] = lowerCase(mode);
    const StringTuning* tuning = modeTuning(t.mode, t.tuning);
    values["tuning"] = tuning != nullptr ? tuning->name : "";
    char a4[8];
    values["a4"] = referenceA4Text(t.referenceA4, a4);
    values["names"] = t.flats ? "flats" : "sharps";
    values["strings"] = t.numberFromHighest ? "highest" : "lowest";
    values["notice"] = choices.skipNotice ? "skip" : "show";
}

}  // namespace veldra
