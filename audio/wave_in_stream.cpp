#include "audio/wave_in_stream.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace veldra {
namespace {

// Room in the capture thread's queue beyond one notice per buffer.
constexpr uint32_t queueSlack = 16;

bool supportedRate(uint32_t samplesPerSecond) {
    return samplesPerSecond == 8000 || samplesPerSecond == 11025 || samplesPerSecond == 22050 ||
           samplesPerSecond == 44100;
}

// Frees the capture area and the ring (not the headers: stopStream does that).
void freeAreas(WaveInStream& s) {
    delete[] s.captureArea;
    s.captureArea = nullptr;
    delete[] s.ring;
    s.ring = nullptr;
}

// Header i pointed at capture buffer i, prepared and queued on the device.
void queueHeader(WaveInStream& s, WaveHeader* h, uint32_t i) {
    std::memset(h, 0, sizeof(WaveHeader));
    h->bufferLength = s.bytesPerBuffer;
    h->data = s.captureArea + static_cast<size_t>(s.bytesPerBuffer) * i;
    h->user = i;
    s.device->prepare(h);
    s.device->addBuffer(h);
}

// A filled buffer came back (message 960): its block goes into its ring slot, or is
// dropped when the ring is full; the buffer goes straight back to the device.
void storeBlock(WaveInStream& s, WaveHeader* h) {
    int32_t event = 0;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        // Only this stream's own headers are believed: anything else would be written
        // to a slot that is not there.
        if (h == nullptr || s.headers == nullptr || h < s.headers ||
            h >= s.headers + s.bufferCount || s.device == nullptr) {
            return;
        }
        s.device->unprepare(h);
        const auto i = static_cast<uint32_t>(h->user);
        const uint32_t length = h->bufferLength;
        if (s.readPtr == nullptr) {
            s.available = 0;
            s.readPtr = s.ring + static_cast<size_t>(length) * i;
        }
        // The block goes into the slot that follows the unread bytes. That is slot i as
        // long as every block since the anchoring was stored; after a dropped block the
        // device's buffer order runs one slot ahead, and slot i would overwrite unread
        // sound while the reader later met stale sound out of order.
        size_t offset = static_cast<size_t>(s.readPtr - s.ring) + s.available;
        if (offset >= s.ringSize) offset -= s.ringSize;
        uint8_t* slot = s.ring + offset;
        if (s.available + length > s.ringSize) {
            setThreadPriority(s.thread, priorityNormal);
            s.device->stop();
            s.overflowPaused = 1;
            event = RingOverflow;
        } else {
            const uint32_t recorded = h->bytesRecorded < length ? h->bytesRecorded : length;
            std::memcpy(slot, h->data, recorded);
            std::memset(slot + recorded, 0, length - recorded);
            s.available += length;
            event = BlockStored;
        }
        queueHeader(s, h, i);
    }
    if (s.callback != nullptr) s.callback(event);
}

// Recording stopped by an overflow goes on. Caller holds lock.
void resumeLocked(WaveInStream& s) {
    setThreadPriority(s.thread, s.priority);
    if (s.device != nullptr) s.device->start();
    s.overflowPaused = 0;
}

}  // namespace

WaveInStream::WaveInStream()
    : configured(0),
      threadId(0),
      thread(nullptr),
      priority(priorityNormal),
      bufferCount(0),
      bytesPerBuffer(0),
      available(0),
      readPtr(nullptr),
      ringSize(0),
      captureArea(nullptr),
      ring(nullptr),
      device(nullptr),
      headers(nullptr),
      overflowPaused(0),
      format{},
      callback(nullptr) {}

WaveInStream::~WaveInStream() {
    stopStream(*this);
}

bool openStream(WaveInStream& s, const StreamSetup& setup) {
    if (s.configured == 1 || setup.priority > priorityIdle || setup.blocks < 4 ||
        setup.blockBytes < 80 || setup.channels == 0 || setup.channels > 2 ||
        (setup.bits != 8 && setup.bits != 16) || !supportedRate(setup.rate)) {
        return false;
    }
    s.bufferCount = setup.blocks;
    s.callback = setup.callback;
    s.priority = setup.priority;
    s.bytesPerBuffer = setup.blockBytes;
    s.format = pcmFormat(setup.channels, setup.rate, setup.bits);
    s.ringSize = static_cast<uint32_t>(setup.blocks) * setup.blockBytes;
    s.configured = 1;
    return true;
}

bool startStream(WaveInStream& s) {
    if (s.thread != nullptr || s.configured == 0) return false;

    s.thread = createThread(captureThread, &s, s.bufferCount + queueSlack, &s.threadId);
    if (s.thread == nullptr) {
        stopStream(s);
        return false;
    }
    uint32_t code = 0;
    if (threadExitCode(s.thread, &code) && code != threadStillActive) return false;
    if (s.device != nullptr) {
        stopStream(s);
        return false;
    }

    s.captureArea = new (std::nothrow) uint8_t[s.ringSize]();
    s.ring = s.captureArea == nullptr ? nullptr : new (std::nothrow) uint8_t[s.ringSize]();
    s.headers = s.ring == nullptr ? nullptr : new (std::nothrow) WaveHeader[s.bufferCount]();
    if (s.headers == nullptr) {
        freeAreas(s);
        stopStream(s);
        return false;
    }

    // The device count is asked again before every attempt: devices come and go.
    for (uint32_t index = 0; index < waveInDeviceCount(); ++index) {
        s.device = waveInOpen(index, s.format, s.threadId);
        if (s.device != nullptr) break;
    }
    if (s.device == nullptr) {
        freeAreas(s);
        stopStream(s);
        return false;
    }

    for (uint32_t i = 0; i < s.bufferCount; ++i)
        queueHeader(s, &s.headers[i], i);
    rearmStream(s);
    setThreadPriority(s.thread, s.priority);
    std::lock_guard<std::mutex> hold(s.lock);
    s.overflowPaused = 0;
    s.device->start();
    return true;
}

bool stopStream(WaveInStream& s) {
    if (s.thread == nullptr) return false;
    setThreadPriority(s.thread, priorityNormal);
    s.stopEvent.signal();
    {
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.device != nullptr) s.device->stop();
    }
    if (!waitForThread(s.thread, captureStopPatienceMs)) {
        std::fprintf(stderr, "veldra: the capture thread has not ended after %u ms; waiting\n",
                     captureStopPatienceMs);
    }
    closeThread(s.thread);
    s.thread = nullptr;

    if (s.device != nullptr) {
        s.device->reset();
        if (s.headers != nullptr) {
            for (uint32_t i = 0; i < s.bufferCount; ++i)
                s.device->unprepare(&s.headers[i]);
        }
        waveInClose(s.device);
        s.device = nullptr;
    }
    freeAreas(s);
    delete[] s.headers;
    s.headers = nullptr;
    return true;
}

void rearmStream(WaveInStream& s) {
    std::lock_guard<std::mutex> hold(s.lock);
    s.readPtr = nullptr;
    if (s.overflowPaused == 1) resumeLocked(s);
}

uint32_t availableBytes(WaveInStream& s) {
    std::lock_guard<std::mutex> hold(s.lock);
    return s.available;
}

bool readSamples(WaveInStream& s, void* destination, uint32_t byteCount) {
    std::lock_guard<std::mutex> hold(s.lock);
    if (destination == nullptr || s.readPtr == nullptr || s.ring == nullptr ||
        s.available < byteCount) {
        return false;
    }
    auto* out = static_cast<uint8_t*>(destination);
    uint8_t* const end = s.ring + s.ringSize;
    if (s.readPtr + byteCount > end) {
        const auto first = static_cast<uint32_t>(end - s.readPtr);
        std::memcpy(out, s.readPtr, first);
        std::memcpy(out + first, s.ring, byteCount - first);
        s.readPtr = s.ring + (byteCount - first);
    } else {
        // readPtr may end up at end: the next read then starts at the ring's beginning.
        std::memcpy(out, s.readPtr, byteCount);
        s.readPtr += byteCount;
    }
    s.available -= byteCount;
    if (s.overflowPaused == 1 && s.available + s.ringSize / s.bufferCount <= s.ringSize) {
        resumeLocked(s);
    }
    return true;
}

void storeWaitingBlocks(WaveInStream& s) {
    ThreadMessage m;
    while (takeThreadMessage(&m)) {
        if (m.message == waveInDataMessage) storeBlock(s, reinterpret_cast<WaveHeader*>(m.lParam));
    }
}

uint32_t captureThread(void* parameter) {
    if (parameter == nullptr) return ~0u;
    auto& s = *static_cast<WaveInStream*>(parameter);
    while (s.stopEvent.wait(capturePollMs) != waitSignalled)
        storeWaitingBlocks(s);
    // The handle is released by stopStream, which waits for this return.
    return 0;
}

}  // namespace veldra
