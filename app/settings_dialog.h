// The settings dialog (Start > Settings): the player's choices, one row each, changed by
// touch or by keys, kept when the player says OK.
//
//   row   "<" [the choice as words] ">"      a tap on an arrow steps the row's value back
//                                           or on; the row becomes the keys' row
//   keys  Up and Down (and Tab) move between the rows, Left and Right step the framed
//         row's value, Space steps it on; Enter is OK, Escape is Cancel
//
// The rows and their words are settingsRows (settings_dialog.cpp). Thread: main thread
// only; the dialog being edited is the file's one record while it is up.
#pragma once

#include "app/remembered_choices.h"
#include "platform/windows/windows.h"

namespace veldra {

// Shows dialog template settingsDialogResource modally over owner, starting from choices;
// true with choices changed when the player said OK, false (choices as they were) for
// Cancel or when the dialog went otherwise.
bool runSettingsDialog(WindowHandle owner, RememberedChoices& choices);

// The words a row shows for choices (row 0 is the first), empty past the last row.
std::string settingsRowText(const RememberedChoices& choices, int32_t row);
// The choices with row's value stepped by step (-1 back, +1 on), wrapping around.
RememberedChoices steppedSetting(const RememberedChoices& choices, int32_t row, int32_t step);

}  // namespace veldra
