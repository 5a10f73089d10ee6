// Which sound input the application records from, as the environment variable
// VELDRA_INPUT chooses it:
//   unset or empty   the microphone
//   demo             the built-in demo performance, looping
//   anything else    the path of a sound file to play
// soundInputFromEnvironment (wave_in_sdl.h) makes the chosen source.
#pragma once

#include <string>

namespace veldra {

inline constexpr const char* soundInputVariable = "VELDRA_INPUT";

enum class SoundInputKind { Microphone, Demo, File };

struct SoundInputChoice {
    SoundInputKind kind;
    std::string path;  // the file, for File; empty otherwise
};

// The choice for the variable's value (null when the variable is unset).
SoundInputChoice chooseSoundInput(const char* value);

}  // namespace veldra
