// The player's choices that veldra remembers between runs, and their names in the settings
// store (platform/desktop/settings_store.h):
//
//   mode=violin        the instrument (its name in lower case); guitar without it
//   notice=skip        the start-up notice is not shown; show without it
//
// Reading takes what it knows and leaves the rest: an unknown name, or a value it cannot
// use, is ignored and that choice keeps its default, so a settings file written by a
// newer program (or edited by hand) never stops this one. Writing sets the names it knows
// and keeps every other value it was given, for the program that wrote them.
// Thread: any; no state.
#pragma once

#include "platform/desktop/desktop.h"
#include "views/views.h"

namespace veldra {

struct RememberedChoices {
    InstrumentKind mode = InstrumentKind::Guitar;  // the mode the tuner starts in
    bool skipNotice = false;                       // the start-up notice is not to be shown
};

RememberedChoices choicesFromSettings(const SettingsValues& values);
void writeChoices(const RememberedChoices& choices, SettingsValues& values);

// The mode whose name (case and spaces aside) is name; false when there is none.
bool modeNamed(std::string_view name, InstrumentKind& kind);

}  // namespace veldra
