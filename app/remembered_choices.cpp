#include "app/remembered_choices.h"

#include <cctype>
#include <string>

namespace veldra {
namespace {

// Lower case, spaces and hyphens left out: "Drop-D", "drop d" and "dropd" are one name.
std::string folded(std::string_view name) {
    std::string key;
    for (const char c : name) {
        if (c == ' ' || c == '-') continue;
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

std::string modeKey(InstrumentKind kind) {
    std::string name;
    instrumentName(name, kind);
    return folded(name);
}

template <typename T>
void readFrom(const SettingsValues& values, std::string_view name, T& into,
              bool (*parse)(std::string_view, T&)) {
    if (const auto found = values.find(name); found != values.end()) {
        T parsed{};
        if (parse(found->second, parsed)) into = parsed;
    }
}

bool noticeSkipped(std::string_view text, bool& skip) {
    if (text != "skip" && text != "show") return false;
    skip = text == "skip";
    return true;
}

}  // namespace

bool modeNamed(std::string_view name, InstrumentKind& kind) {
    const std::string key = folded(name);
    for (int32_t k = 0; k < instrumentKindCount; ++k) {
        if (modeKey(static_cast<InstrumentKind>(k)) == key) {
            kind = static_cast<InstrumentKind>(k);
            return true;
        }
    }
    return false;
}

RememberedChoices choicesFromSettings(const SettingsValues& values) {
    RememberedChoices choices;
    readFrom(values, "mode", choices.mode, modeNamed);
    readFrom(values, "notice", choices.skipNotice, noticeSkipped);
    return choices;
}

void writeChoices(const RememberedChoices& choices, SettingsValues& values) {
    values["mode"] = modeKey(choices.mode);
    values["notice"] = choices.skipNotice ? "skip" : "show";
}

}  // namespace veldra
