// The player's choices that veldra remembers between runs, and their names in the settings
// store (platform/desktop/settings_store.h):
//
//   mode=violin          the instrument (its name in lower case); guitar without it
//   tuning=viola         the instrument's tuning (its name); the default without it
//   a4=442               the reference A4 in whole hertz, or default (the scale's own)
//   names=flats          note names with flats, or sharps (the default)
//   strings=highest      strings numbered from the highest, or lowest (the default)
//   notice=skip          the start-up notice is not shown; show without it
//
// Reading takes what it knows and leaves the rest: an unknown name, or a value it cannot
// use (a tuning the instrument does not have, a4=500), is ignored and that choice keeps its
// default, so a settings file written by a newer program (or edited by hand) never stops
// this one. Writing sets the names it knows and keeps every other value it was given, for
// the program that wrote them. Thread: any; no state.
#pragma once

#include "platform/desktop/desktop.h"
#include "tuner/tuner.h"

namespace veldra {

struct RememberedChoices {
    TunerChoices tuner;       // mode, tuning, reference A4, names, numbering
    bool skipNotice = false;  // the start-up notice is not to be shown

    bool operator==(const RememberedChoices&) const = default;
};

RememberedChoices choicesFromSettings(const SettingsValues& values);
void writeChoices(const RememberedChoices& choices, SettingsValues& values);

}  // namespace veldra
