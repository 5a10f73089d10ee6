// The settings dialog's rows and its procedure.
#include "app/settings_dialog.h"

#include <string>

#include "app/resource_script.h"

namespace veldra {
namespace {

// ---- the rows ----
struct SettingsRow {
    const char* label;
    std::string (*words)(const RememberedChoices& c);
    void (*step)(RememberedChoices& c, int32_t by);
};

int32_t wrapped(int32_t value, int32_t by, int32_t count) {
    return ((value + by) % count + count) % count;
}

// The reference pitches in the order the arrows step through them: the scale's own, then
// 440 up to 466 and round from 415, so that the usual ones are a step or two away.
constexpr int32_t referenceSteps = highestReferenceA4 - lowestReferenceA4 + 2;
int32_t referenceAt(int32_t step) {
    if (step == 0) return 0;
    return lowestReferenceA4 + (440 - lowestReferenceA4 + step - 1) % (referenceSteps - 1);
}
int32_t referenceStep(int32_t hz) {
    for (int32_t s = 0; s < referenceSteps; ++s)
        if (referenceAt(s) == hz) return s;
    return 0;
}

const SettingsRow settingsRows[] = {
    {"Instrument",
     [](const RememberedChoices& c) {
         std::string name;
         instrumentName(name, c.tuner.mode);
         return name;
     },
     [](RememberedChoices& c, int32_t by) {
         c.tuner.mode = static_cast<InstrumentKind>(
             wrapped(static_cast<int32_t>(c.tuner.mode), by, instrumentKindCount));
         c.tuner.tuning = 0;
     }},
    {"Tuning",
     [](const RememberedChoices& c) {
         const StringTuning* tuning = modeTuning(c.tuner.mode, c.tuner.tuning);
         return std::string(tuning != nullptr ? tuning->name : "?");
     },
     [](RememberedChoices& c, int32_t by) {
         c.tuner.tuning = wrapped(c.tuner.tuning, by, modeEntry(c.tuner.mode)->tuningCount);
     }},
    {"A4",
     [](const RememberedChoices& c) {
         return c.tuner.referenceA4 == 0 ? std::string("439.96 Hz")
                                         : std::to_string(c.tuner.referenceA4) + " Hz";
     },
     [](RememberedChoices& c, int32_t by) {
         c.tuner.referenceA4 =
             referenceAt(wrapped(referenceStep(c.tuner.referenceA4), by, referenceSteps));
     }},
    {"Notes",
     [](const RememberedChoices& c) {
         return std::string(c.tuner.flats ? "flats (Bb)" : "sharps (A#)");
     },
     [](RememberedChoices& c, int32_t) { c.tuner.flats = !c.tuner.flats; }},
    {"String 1",
     [](const RememberedChoices& c) {
         return std::string(c.tuner.numberFromHighest ? "the highest" : "the lowest");
     },
     [](RememberedChoices& c, int32_t) { c.tuner.numberFromHighest = !c.tuner.numberFromHighest; }},
    {"Notice at start",
     [](const RememberedChoices& c) { return std::string(c.skipNotice ? "no" : "yes"); },
     [](RememberedChoices& c, int32_t) { c.skipNotice = !c.skipNotice; }},
};
constexpr int32_t rowCount = static_cast<int32_t>(std::size(settingsRows));
static_assert(rowCount == settingsRowsShown, "the template has a row for each");

// ---- the dialog's record ----
struct SettingsDialogState {
    RememberedChoices editing;  // the choices as the dialog shows them; set when it opens
    int32_t row;                // the keys' row, 0..rowCount-1
};
SettingsDialogState dialogState{};

void showRows(WindowHandle dialog) {
    for (int32_t r = 0; r < rowCount; ++r)
        setDialogItemText(dialog, settingsRowLabel + r, settingsRowText(dialogState.editing, r));
    setDialogFocus(dialog, settingsRowLabel + dialogState.row);
}

void step(WindowHandle dialog, int32_t row, int32_t by) {
    if (row < 0 || row >= rowCount) return;
    dialogState.row = row;
    dialogState.editing = steppedSetting(dialogState.editing, row, by);
    showRows(dialog);
}

bool settingsDialogProc(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t) {
    switch (message) {
        case messageInitDialog:
            initDialog(dialog, dialogFullScreen | dialogInputPanelDown);
            showRows(dialog);
            return true;
        case messageKeyDown:
            switch (wParam) {
                case keyUp:
                case keyDown:
                case keyTab:
                    dialogState.row = wrapped(dialogState.row, wParam == keyUp ? -1 : 1, rowCount);
                    showRows(dialog);
                    return true;
                case keyLeft:
                case keyRight:
                case keySpace:
                    step(dialog, dialogState.row, wParam == keyLeft ? -1 : 1);
                    return true;
                default:
                    return false;
            }
        case messageCommand: {
            const int32_t id = lowWord(wParam);
            if (id == commandOk || id == commandCancel) {
                endDialog(dialog, id);
            } else if (id >= settingsBackButton && id < settingsBackButton + settingsRowsShown) {
                step(dialog, id - settingsBackButton, -1);
            } else if (id >= settingsOnButton && id < settingsOnButton + settingsRowsShown) {
                step(dialog, id - settingsOnButton, 1);
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

std::string settingsRowText(const RememberedChoices& choices, int32_t row) {
    if (row < 0 || row >= rowCount) return {};
    const SettingsRow& r = settingsRows[row];
    return std::string(r.label) + ": " + r.words(choices);
}

RememberedChoices steppedSetting(const RememberedChoices& choices, int32_t row, int32_t by) {
    RememberedChoices stepped = choices;
    if (row >= 0 && row < rowCount) settingsRows[row].step(stepped, by);
    return stepped;
}

bool runSettingsDialog(WindowHandle owner, RememberedChoices& choices) {
    const DialogTemplate* dialog = loadDialog(programResources(), settingsDialogResource);
    if (dialog == nullptr) return false;
    dialogState = {choices, 0};
    if (dialogBox(*dialog, owner, settingsDialogProc) != commandOk) return false;
    choices = dialogState.editing;
    return true;
}

}  // namespace veldra
