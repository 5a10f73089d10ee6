// The browser's microphone as the wave-input protocol (platform/sound_input/wave_in.h).
//
// The page (web/site/veldra.js) asks for the microphone as it loads, with echo
// cancellation, noise suppression and automatic gain off (each would change the wave's
// shape), and records it through an AudioWorklet in an AudioContext at the rate the
// device runs, so that the browser resamples nothing (its converters differ between
// browsers, and some drift); the context starts on the first gesture, the start-up
// notice's OK. open waits (an ASYNCIFY sleep) until the page knows whether the microphone
// is there and allowed: null when it is not (the reason goes to standard error, which the
// page shows on its console, and the page keeps it to say what to do).
//
// The page hands each piece of sound to veldra_web_sound: mono float values at the
// context's rate, which go the desktop microphone's road (live_conversion.h: made safe,
// libsoxr to 22050 Hz, 16-bit samples) and are recorded into the open device's buffers.
// The device posts the filled ones to its thread's queue as any device does; then the
// hook set with setSoundDeliveredHook runs, which on one thread does the capture thread's
// work (audio/wave_in_stream.h: storeWaitingBlocks).
//
// While the page is hidden it stops the microphone and suspends the context, and takes the
// microphone again when it is shown: the device stays open and simply hears nothing.
//
// Formats: mono, 16 bits, 22050 samples per second (whatever the page's rate); anything
// else is refused.
// Thread: the browser's one thread.
#pragma once

#include <memory>

#include "platform/sound_input/sound_input.h"

namespace veldra {

// The rate the device's samples are converted to: the tuner's.
inline constexpr uint32_t webSoundRate = 22050;

std::unique_ptr<WaveInSource> makeWebMicrophone();

// Runs after each piece of sound has been recorded into the device (null: nothing).
void setSoundDeliveredHook(void (*hook)());

}  // namespace veldra
