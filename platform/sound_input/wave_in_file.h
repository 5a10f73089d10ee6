// Sound inputs that play something to the tuner as if a microphone heard it, paced by
// the clock at the real rate (PacedWaveIn): a sound file, and the built-in demo.
//
// The file is read through SoundFileReader (any format it reads, converted to mono 16-bit
// at the device's rate) from its start each time the device is opened; after its last sample the
// device records silence. An unreadable file behaves like a device that cannot be
// opened: the open fails and standard error gets one line naming the file and the reason.
// A file that fails to read further while it plays is a lost input: one line on standard
// error, reportInputState(InputState::LostForGood), and silence from then on; it is not read again.
// The demo is the performance of demo_sound.h, looping without end.
// Both offer one device, which records mono 16-bit at the rate it is opened with.
#pragma once

#include <memory>
#include <string>

#include "platform/sound_input/wave_in.h"

namespace veldra {

std::unique_ptr<WaveInSource> makeFileSource(const std::string& path);
std::unique_ptr<WaveInSource> makeDemoSource();

}  // namespace veldra
