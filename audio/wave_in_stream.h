// WaveInStream: records sound on a capture thread of its own, in fixed-size blocks, into
// a ring from which the main thread reads at its own pace.
//
// Life: construct; openStream once (checks and stores the configuration, touches no
// device); then startStream and stopStream in turns; availableBytes, readSamples and
// rearmStream while started; destroy (stops first).
//
// The road of a block: the device fills capture buffer i (one per block, lent to the
// device out of captureArea) and posts it to the capture thread, which wakes every 5 ms
// (or at once on a stop) and empties its queue. Each block is copied into the ring slot
// that follows the unread bytes, so the ring is one continuous stretch of sound; while no
// block is dropped that is slot i for buffer i, since the device hands buffers back in
// the order they were queued. The callback hears BlockStored for each stored block, or
// RingOverflow when a block found the ring full: the block is dropped and recording stops
// until a read makes room for a block (readSamples) or the owner re-arms (rearmStream).
//
// Anchoring: startStream and rearmStream leave the ring unanchored (readPtr null) and
// readSamples fails; the next stored block anchors it at its own slot, holding just that
// block. Re-arming is how the owner throws away what waits and goes on with the newest
// sound.
//
// Units: every count in the stream is in bytes.
// Threads: the main thread calls openStream, startStream, stopStream, availableBytes and
// readSamples; the capture thread stores blocks and calls the callback, outside lock, and
// rearmStream is called from that callback. lock guards available, readPtr and
// overflowPaused and is held across each recording stop and start, so that a resume and
// an overflow cannot interleave.
// Memory: startStream allocates the capture area, the ring and the headers; nothing is
// allocated while recording; stopStream frees them.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/kernel/kernel.h"
#include "platform/sound_input/sound_input.h"

namespace veldra {

// What the capture thread reports to the callback.
enum CaptureEvent : int32_t {
    BlockStored = 1,   // a block went into the ring; available grew by one block
    RingOverflow = 2,  // a block found no room: dropped, recording stopped
};

// Receives one CaptureEvent code, on the capture thread.
using CaptureCallback = void (*)(int32_t code);

// How long stopStream waits for the capture thread before it says so on standard error
// (and then goes on waiting: see stopStream).
inline constexpr uint32_t captureStopPatienceMs = 10000;

// How long the capture thread sleeps between looks at its queue.
inline constexpr uint32_t capturePollMs = 5;

struct WaveInStream {
    WaveInStream();
    ~WaveInStream();
    WaveInStream(const WaveInStream&) = delete;
    WaveInStream& operator=(const WaveInStream&) = delete;

    int32_t configured;        // 1 once openStream succeeded; never cleared
    uint32_t threadId;         // the capture thread's id: where the device posts
    KernelThread* thread;      // the capture thread; null when none. Released by stopStream
    std::mutex lock;           // guards available, readPtr, overflowPaused, device start/stop
    AutoResetEvent stopEvent;  // signalled by stopStream; consumed by the capture thread
    uint32_t priority;         // capture-thread priority while recording, 0..7; 3 at first
    uint16_t bufferCount;      // blocks = device buffers = ring slots
    uint32_t bytesPerBuffer;   // bytes in a block
    uint32_t available;        // bytes stored and not yet read
    uint8_t* readPtr;          // next read position inside ring; null: unanchored
    uint32_t ringSize;         // bufferCount * bytesPerBuffer
    uint8_t* captureArea;      // ringSize bytes lent to the device: buffer i at i * bytesPerBuffer
    uint8_t* ring;             // ringSize bytes: bufferCount slots of one block each
    WaveInDevice* device;      // the open device; null when closed
    WaveHeader* headers;       // bufferCount headers; header i's user word is i for life
    int32_t overflowPaused;    // 1 while recording is stopped because the ring was full
    WaveFormat format;         // built by openStream
    CaptureCallback callback;  // may be null: then nothing is reported
};

// A stream's configuration, named field by field where it is set up:
// openStream(stream, {.callback = ..., .priority = 3, .blocks = 20, .blockBytes = 440,
//                     .channels = 1, .rate = 22050, .bits = 16}).
struct StreamSetup {
    CaptureCallback callback;  // may be null: then nothing is reported
    uint32_t priority;         // capture-thread priority while recording, 0..7
    uint16_t blocks;           // blocks in the ring (= device buffers), at least 4
    uint32_t blockBytes;       // bytes in a block, at least 80
    uint16_t channels;         // 1 or 2
    uint32_t rate;             // samples per second: 8000, 11025, 22050 or 44100
    uint16_t bits;             // per sample: 8 or 16
};

// Checks and stores the configuration. False, changing nothing, when the stream is
// already configured or a field of setup is outside the range its comment gives.
bool openStream(WaveInStream& stream, const StreamSetup& setup);

// Creates the capture thread and the buffers, opens the first device that accepts the
// format, queues every buffer and starts recording with the ring unanchored. False when
// not configured, already started, out of memory, or no device opens; everything built
// is then torn down again and the stream can be started later.
bool startStream(WaveInStream& stream);

// Ends the capture thread, resets and closes the device and frees the buffers. False when
// no capture thread exists (nothing is done). The thread sees the stop within one poll
// and is waited for until it has ended, then its handle is released once. A thread is
// never killed (that would leave its locks held and its memory in use): if it has not
// ended after captureStopPatienceMs, the wait says so on standard error and goes on.
// available, readPtr and overflowPaused stay as they were; reads fail until the next start.
bool stopStream(WaveInStream& stream);

// Discards what waits in the ring (unanchors it) and restarts recording stopped by an
// overflow. Any thread; called from the callback on the capture thread.
void rearmStream(WaveInStream& stream);

// Bytes waiting, read under lock.
uint32_t availableBytes(WaveInStream& stream);

// Copies byteCount bytes out of the ring, across its end if need be. False, changing
// nothing, for a null destination, an unanchored or stopped ring, or fewer bytes waiting.
// A read that leaves room for a block resumes recording stopped by an overflow.
bool readSamples(WaveInStream& stream, void* destination, uint32_t byteCount);

// The capture thread's procedure; its parameter is the stream. ~0 for a null stream. It
// runs storeWaitingBlocks every capturePollMs until stopStream signals stopEvent.
uint32_t captureThread(void* stream);

// One look at the capture thread's queue: every filled buffer waiting there is stored (or
// dropped) and reported, in the order the device handed them back. Runs on the capture
// thread: its own loop calls it, and where the kernel has no threads (the browser build:
// platform/kernel/threads.h) the code that delivers the sound runs it there through
// runThreadStep, right after each delivery.
void storeWaitingBlocks(WaveInStream& stream);

}  // namespace veldra
