// Capture hand-off: carries recorded sound from the stream's capture thread to the pitch
// analysis on the main thread, waking the main window once per batch, not once per block.
//
//   onCaptureEvent   the stream's callback (capture thread). A stored block posts one
//                    CaptureReadyMessage to notifyWindow, but only while the main thread
//                    is idle; an overflow discards the waiting sound and re-arms the
//                    stream, and the next stored block posts a fresh message.
//   drainCapture     the main window's handler of CaptureReadyMessage (main thread).
//                    Reads up to 20 blocks of 220 samples through blockBuffer and hands
//                    each to the block consumer (the tuner's analyzeBlock, given by whoever
//                    prepares the hand-off) with backlog set while more than 3740 bytes (9
//                    or more blocks) still wait; then idle again.
//
// consumerIdle cycles 1 (idle) -> a stored block posts a message -> 0 -> drainCapture
// ends -> 1; an overflow forces it to 1. A post that fails (the window's queue is full, or
// no window) leaves it at 1, so that the next stored block posts again. captureLock
// guards it alone and is never held together with the stream's lock: the callback runs
// outside the stream's lock and lets go of captureLock before re-arming, and drainCapture
// takes it after its last stream call. A block stored while drainCapture is finishing may
// wait for the next block's message: at most one block (10 ms) of delay, never lost sound.
//
// The stream is the program's one WaveInStream (captureStream()), which the tuner opens
// with onCaptureEvent, 20 blocks of 440 bytes, mono, 16 bits, 22050 Hz, after
// prepareHandoff, and stops before closeHandoff.
//
// Nothing allocates: every block passes through the one blockBuffer.
#pragma once

#include <cstdint>
#include <mutex>

#include "audio/wave_in_stream.h"
#include "platform/kernel/kernel.h"

namespace veldra {

// The program's own window message to its main window: sound is waiting. Both parameters
// are 0. (The same number as the filled-buffer thread message of the sound input, which
// travels on the capture thread's own queue, not the window's.)
inline constexpr uint32_t CaptureReadyMessage = 960;

// A block of sound as the tuner takes it: 220 samples of 16-bit mono, 10 ms at 22050 Hz.
inline constexpr int32_t captureBlockSamples = 220;
inline constexpr uint32_t captureBlockBytes = captureBlockSamples * sizeof(int16_t);  // 440
inline constexpr int32_t blocksPerDrain = 20;   // one message takes at most this many
inline constexpr uint32_t backlogBytes = 3740;  // more than this waiting: backlog

// Takes one block: count samples, and whether much more sound is still waiting.
using BlockConsumer = void (*)(const int16_t* block, int32_t count, bool backlog);

struct HandoffState {
    int32_t consumerIdle;       // 1: the next stored block posts; guarded by captureLock
    WindowHandle notifyWindow;  // where CaptureReadyMessage goes; set by prepareHandoff
    int16_t blockBuffer[captureBlockSamples];  // each block on its way to the consumer
    BlockConsumer consumer;                    // set by prepareHandoff; null: blocks are dropped
};

// The program's one stream; constructed before main runs, stopped and destroyed after.
WaveInStream& captureStream();

// Guards consumerIdle. Lives for the whole program; nothing to initialise or delete.
extern std::mutex captureLock;

// The stream's callback: BlockStored (1) and RingOverflow (2); other codes do nothing.
void onCaptureEvent(int32_t code);

// The handler of CaptureReadyMessage.
void drainCapture();

// Live from here: messages go to window, blocks to consumer; consumerIdle is 1. Call before
// opening the stream.
void prepareHandoff(WindowHandle window, BlockConsumer consumer);

// No more messages go anywhere. Call after stopping the stream, as the window goes.
void closeHandoff();

// consumerIdle, read under captureLock.
bool consumerIsIdle();

// Read-only view for tests.
const HandoffState& handoffState();

// Back to the start values: idle, no window, no consumer.
void resetHandoff();

}  // namespace veldra
