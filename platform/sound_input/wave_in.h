// Wave input: the handheld's buffer protocol for recording, in front of whichever sound
// source this process records from (the microphone, a sound file, the demo, or a script
// in tests).
//
// The protocol, as the stream uses it:
//   waveInDeviceCount        how many devices the installed source offers (re-read it
//                            before each open attempt: it may change)
//   waveInOpen               a device for a PCM format, or null when the device cannot
//                            deliver that format (or cannot be opened at all); the device
//                            reports to the kernel thread whose id it is given
//   prepare / addBuffer      a header must be prepared before it is queued; queued
//                            buffers are filled strictly in queue order, and each full
//                            one is handed back by posting waveInDataMessage (960) to the
//                            thread, with the header as the long parameter and
//                            bytesRecorded filled in
//   start / stop             stop hands back the buffer being filled if it holds any
//                            bytes; empty buffers stay queued
//   reset                    stops and hands back every queued buffer
//   unprepare                refused while the header is queued
//   waveInClose              the device is gone afterwards; a source opens one at a time
//
// Sources: ScriptedWaveIn (tests), PacedWaveIn (a sound file, the demo; paced by the
// clock), the SDL microphone. A source is installed for the whole process with
// installWaveInSource; with none installed there is no device.
//
// Threads: the device calls may come from any thread (the stream calls them from the
// main thread and from its capture thread); the source fills buffers from its own
// thread. The device serialises all of them with its own lock, which it never holds
// while calling into a source's audio back end. Nothing allocates after open.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace veldra {

// The message a device posts for a filled buffer.
inline constexpr uint32_t waveInDataMessage = 960;

inline constexpr uint16_t waveFormatPcm = 1;

// The platform's wave-format record.
struct WaveFormat {
    uint16_t formatTag;              // waveFormatPcm
    uint16_t channels;               // 1 or 2, interleaved
    uint32_t samplesPerSecond;       // frames per second
    uint32_t averageBytesPerSecond;  // samplesPerSecond * blockAlign
    uint16_t blockAlign;             // bytes per frame: channels * bitsPerSample / 8
    uint16_t bitsPerSample;          // 8 (unsigned) or 16 (signed, little-endian)
    uint16_t extraSize;              // 0: no extra format data
};

// Header flags.
inline constexpr uint32_t headerDone = 1;      // handed back by the device
inline constexpr uint32_t headerPrepared = 2;  // prepared for the device
inline constexpr uint32_t headerInQueue = 16;  // in the device's queue

// The platform's wave header. The owner sets data, bufferLength and user; the device
// keeps flags and next and fills in bytesRecorded.
struct WaveHeader {
    uint8_t* data;           // where the device writes
    uint32_t bufferLength;   // bytes at data
    uint32_t bytesRecorded;  // bytes written, when handed back
    uintptr_t user;          // the owner's word; the device never touches it
    uint32_t flags;          // headerDone | headerPrepared | headerInQueue
    uint32_t loops;          // unused for input
    WaveHeader* next;        // the device's queue link
    uintptr_t reserved;      // unused
};

class WaveInSource;

// An open device: the buffer queue and its state. Made by a source's open.
class WaveInDevice {
  public:
    WaveInDevice(WaveInSource* source, uint32_t threadId);
    WaveInDevice(const WaveInDevice&) = delete;
    WaveInDevice& operator=(const WaveInDevice&) = delete;

    // ---- the protocol; false when refused ----
    bool prepare(WaveHeader* header);    // refused while queued
    bool unprepare(WaveHeader* header);  // refused while queued
    bool addBuffer(WaveHeader* header);  // refused unless prepared and not queued
    bool start();
    bool stop();
    bool reset();

    // ---- for sources ----
    // Writes bytes into the queued buffers while recording, in queue order, handing back
    // each one that becomes full. Returns the bytes taken: fewer than count when
    // stopped or out of buffers (the rest is lost, as a microphone would lose it).
    size_t record(const uint8_t* bytes, size_t count);
    // Fills the rest of the buffer being filled in one go, through fill(context, bytes,
    // count) called under the device's lock, and hands it back. Nothing is asked of fill
    // (and 0 returned) when stopped or when nothing is queued; otherwise the bytes filled.
    using Filler = void (*)(void* context, uint8_t* bytes, uint32_t count);
    uint32_t fillCurrentBuffer(Filler fill, void* context);
    // Free bytes in the buffer being filled: 0 when stopped or when nothing is queued.
    uint32_t roomInCurrentBuffer() const;
    bool isRecording() const;
    uint32_t queuedBuffers() const;

    WaveInSource* source() const { return source_; }

  private:
    void handBackHead();  // caller holds mutex_

    WaveInSource* const source_;  // the source that opened this device
    const uint32_t threadId_;     // where filled buffers are posted
    mutable std::mutex mutex_;    // guards everything below
    WaveHeader* head_ = nullptr;  // the buffer being filled; oldest queued
    WaveHeader* tail_ = nullptr;  // the newest queued
    uint32_t queued_ = 0;         // buffers in the queue
    bool recording_ = false;      // between start and stop
};

// A kind of sound input: it offers devices and fills their buffers with its sound.
class WaveInSource {
  public:
    virtual ~WaveInSource() = default;
    virtual uint32_t deviceCount() = 0;
    // A device for this format, or null when the source cannot give it.
    virtual WaveInDevice* open(uint32_t index, const WaveFormat& format, uint32_t threadId) = 0;
    // Stops filling and destroys the device.
    virtual void close(WaveInDevice* device) = 0;
};

// The process's sound input; null for none. The caller keeps the source alive while
// it is installed and no device of it is open.
void installWaveInSource(WaveInSource* source);

// Beyond the buffer protocol, a live input can be lost (the sound server went, the device
// was unplugged) and come back; its source then keeps the device open and silent and tries
// again. A sound file that cannot be read further is lost for good: it is not tried again.
// The source tells the program through the listener installed here (null: nobody
// listens), from the source's own thread.
enum class InputState : int32_t {
    Present = 0,      // the input is back
    Lost = 1,         // the input is gone; the source tries again
    LostForGood = 2,  // the input is gone and is not tried again
};
using InputStateListener = void (*)(InputState state);
void setInputStateListener(InputStateListener listener);
void reportInputState(InputState state);

// Why the input could not be opened, for a player who never sees standard error: a source
// that refuses a device tells why through tellInputFailure, which writes "veldra: <why>"
// on standard error and keeps why; inputFailure is the last kept (empty when none since the
// source was installed), for the program to show where the player looks. Any thread.
void tellInputFailure(const std::string& why);
std::string inputFailure();

uint32_t waveInDeviceCount();
WaveInDevice* waveInOpen(uint32_t index, const WaveFormat& format, uint32_t threadId);
void waveInClose(WaveInDevice* device);

// The format record for a PCM configuration, with its derived fields filled in.
WaveFormat pcmFormat(uint16_t channels, uint32_t samplesPerSecond, uint16_t bitsPerSample);

// True for the formats the clock-paced sources give: PCM, mono, 16 bits, any rate.
bool isMono16(const WaveFormat& format);

}  // namespace veldra
