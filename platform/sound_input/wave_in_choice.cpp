#include "platform/sound_input/wave_in_choice.h"

#include <cstring>

namespace veldra {

SoundInputChoice chooseSoundInput(const char* value) {
    constexpr const char* microphonePrefix = "mic:";
    if (value == nullptr || value[0] == '\0') return {SoundInputKind::Microphone, {}};
    if (std::strcmp(value, "demo") == 0) return {SoundInputKind::Demo, {}};
    if (std::strncmp(value, microphonePrefix, std::strlen(microphonePrefix)) == 0) {
        return {SoundInputKind::Microphone, value + std::strlen(microphonePrefix)};
    }
    return {SoundInputKind::File, value};
}

}  // namespace veldra
