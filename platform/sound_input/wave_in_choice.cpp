#include "platform/sound_input/wave_in_choice.h"

#include <cstring>

namespace veldra {

SoundInputChoice chooseSoundInput(const char* value) {
    if (value == nullptr || value[0] == '\0') return {SoundInputKind::Microphone, {}};
    if (std::strcmp(value, "demo") == 0) return {SoundInputKind::Demo, {}};
    return {SoundInputKind::File, value};
}

}  // namespace veldra
