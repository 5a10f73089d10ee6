// The real sound inputs, through SDL2's capture devices (PipeWire, PulseAudio or ALSA, as
// SDL finds them, or the driver SDL_AUDIODRIVER names).
//
// makeMicrophoneSource: the devices the stream tries, in order: with no name given, the
// system's default input first, then every named one; with a name, only the first device
// whose name contains it. A device opens at its own rate and channel count (what SDL
// reports as its preferred format); the source mixes the channels to mono and resamples to
// the rate the stream asks for (mono 16-bit only), with the same conversion as the sound
// files (platform/sound_files), in SDL's audio thread, without allocating. A device that
// will not open says on standard error which driver and device failed and SDL's reason.
// ALSA's library says nothing of its own: SDL's reason names what failed.
//
// A sound server that hangs: every call into SDL's audio (starting it, listing, opening,
// closing) runs on the source's sound thread (sound_thread.h), and the caller waits for an
// answer at most 5 s (1 s for a close). An open that gets none returns the device as lost
// (said once on standard error and through reportInputState), and the sound thread goes
// on trying as below once the server answers. A close that gets none leaves the sound
// thread to itself; soundThreadAbandoned() then tells the program to leave with _exit.
//
// A lost input: an open device counts as lost when SDL stops it (the sound server went, the
// device was unplugged) or when its callbacks stop for a second (three after opening). The
// source then records nothing, says so once on standard error and through
// reportInputState, and tries to open the same device again about once a second, starting
// SDL's audio afresh on the driver that worked (SDL picks its driver when it starts, and
// would fall back to another); when it opens, recording goes on into the same buffers and
// the source says that once too. Nothing is said after the device's close.
//
// The source holds SDL's audio subsystem for its lifetime. Before SDL's audio starts it
// points libpulse at a client configuration without shared memory (unless
// PULSE_CLIENTCONFIG is set): with it, Debian's SDL 2.26 records from PulseAudio slower
// than real time and sometimes not at all. It names the program to the sound server as
// desktopAppName (window_backend_sdl.h), so the desktop's sound settings show "Veldra".
//
// Threads: SDL's audio thread fills the buffers; the sound thread opens, closes, watches
// and reports; everything else as in wave_in.h.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/sound_input/sound_input.h"

namespace veldra {

// nameContains empty: the default input, then all named ones.
std::unique_ptr<WaveInSource> makeMicrophoneSource(const std::string& nameContains);

// The source a choice names (the microphone, the demo, a sound file).
std::unique_ptr<WaveInSource> soundInputFor(const SoundInputChoice& choice);

// The capture devices SDL lists, and which one is the system's default (empty when SDL
// cannot say). False with error saying why when there is no sound system, or when it does
// not answer within 5 s ("the sound server does not answer").
struct CaptureDevices {
    std::string driver;
    std::vector<std::string> names;
    std::string defaultName;
};
bool listCaptureDevices(CaptureDevices& devices, std::string& error);

}  // namespace veldra
