// The settings store: the player's choices kept between runs, as named text values. What
// the names mean is the program's business (app/remembered_choices.h); the store keeps
// every name it is given or finds, known to the program or not, so that a newer or older
// program's values survive a run of this one.
//
// On the desktop the values live in one file, $XDG_CONFIG_HOME/veldra/settings
// (~/.config/veldra/settings without the variable): a first line "# veldra settings 1",
// then one "name=value" line each. In the browser they live in the page's storage
// (settings_file_web.cpp), under one key, in the same text.
//
//   loadSettings   the values kept, or none. A file that is not such text (no first line,
//                  a line without '=', a NUL byte, longer than settingsMaxBytes) is kept
//                  aside beside itself as settings.damaged-SECONDS, and standard error
//                  names both in one line; the run starts from no values.
//   saveSettings   writes all of values, whole or not at all: a private file in the same
//                  folder, synced, then renamed over the old one, so that a reader (or a
//                  crash) sees the old file or the new, never a mix. Two copies saving at
//                  once each put a whole file in place; the last rename wins. When the
//                  folder cannot be written (read-only, full, not a folder), false, and
//                  the first such failure of the run is said on standard error in one
//                  line; the caller keeps its choices for the run.
//
// Thread: main thread only (the one-line notice's flag is the store's state).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace veldra {

using SettingsValues = std::map<std::string, std::string, std::less<>>;

inline constexpr std::string_view settingsFirstLine = "# veldra settings 1";
inline constexpr size_t settingsMaxBytes = 64 * 1024;  // far above what the program writes

// The text of values as the store keeps it, and back. A name is kept when it is not
// empty and holds no '=' or line break; a value when it holds no line break. parse: false
// with why (in words, with the line) for text that is not settings; values then empty.
std::string formatSettings(const SettingsValues& values);
bool parseSettings(std::string_view text, SettingsValues& values, std::string& why);

// Where the settings file is; empty when neither XDG_CONFIG_HOME nor HOME says (the
// browser: the page's storage has no path).
std::string settingsPath();

SettingsValues loadSettings();
bool saveSettings(const SettingsValues& values);

// The store as at start, for tests: the failure to save not yet said.
void resetSettingsStore();

}  // namespace veldra
