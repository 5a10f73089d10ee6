// The real sound inputs, through SDL2 (part of the veldra_sdl library).
//
// makeMicrophoneSource: the capture devices SDL finds (PipeWire, PulseAudio or ALSA, or
// whatever SDL_AUDIODRIVER names). Its device count is SDL's count of capture devices
// (1 when SDL can only offer the system's default device); a device opens in any format
// the stream asks for, SDL converting from what the hardware gives. SDL records from the
// open until the close; the wave-input device keeps only what arrives between its start
// and stop, in SDL's chunks, so a stop can hand back a part-filled buffer. A device that
// will not open says why on standard error, naming it.
// The source holds SDL's audio subsystem (SDL_InitSubSystem) for its lifetime.
//
// soundInputFromEnvironment: the source VELDRA_INPUT chooses (wave_in_choice.h).
//
// Threads: SDL's audio thread fills the buffers; everything else as in wave_in.h.
#pragma once

#include <memory>

#include "platform/sound_input/sound_input.h"

namespace veldra {

std::unique_ptr<WaveInSource> makeMicrophoneSource();

std::unique_ptr<WaveInSource> soundInputFromEnvironment();

}  // namespace veldra
