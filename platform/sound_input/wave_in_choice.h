// Which sound input the application records from, as the environment variable
// VELDRA_INPUT (or the program's --input option, which wins over it) chooses it:
//   unset or empty   the system's default microphone
//   mic:TEXT         the first microphone whose name contains TEXT
//   demo             the built-in demo performance, looping
//   anything else    the path of a sound file to play
// soundInputFor (platform/backends) makes the chosen source.
#pragma once

#include <string>

namespace veldra {

inline constexpr const char* soundInputVariable = "VELDRA_INPUT";

enum class SoundInputKind { Microphone, Demo, File };

struct SoundInputChoice {
    SoundInputKind kind;
    std::string text;  // the file's path for File; the name's part for Microphone, or empty
};

// The choice for a value of the variable or the option (null: neither was given).
SoundInputChoice chooseSoundInput(const char* value);

}  // namespace veldra
