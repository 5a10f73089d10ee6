#include "platform/sound_input/wave_in.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/kernel/kernel.h"

namespace veldra {

// ---- WaveInDevice ----

WaveInDevice::WaveInDevice(WaveInSource* source, uint32_t threadId)
    : source_(source), threadId_(threadId) {}

bool WaveInDevice::prepare(WaveHeader* header) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (header == nullptr || (header->flags & headerInQueue) != 0) return false;
    header->flags |= headerPrepared;
    return true;
}

bool WaveInDevice::unprepare(WaveHeader* header) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (header == nullptr || (header->flags & headerInQueue) != 0) return false;
    header->flags &= ~headerPrepared;
    return true;
}

bool WaveInDevice::addBuffer(WaveHeader* header) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (header == nullptr || header->data == nullptr || header->bufferLength == 0) return false;
    if ((header->flags & headerPrepared) == 0 || (header->flags & headerInQueue) != 0) {
        return false;
    }
    header->flags = (header->flags & ~headerDone) | headerInQueue;
    header->bytesRecorded = 0;
    header->next = nullptr;
    if (tail_ == nullptr) {
        head_ = header;
    } else {
        tail_->next = header;
    }
    tail_ = header;
    ++queued_;
    return true;
}

bool WaveInDevice::start() {
    std::lock_guard<std::mutex> hold(mutex_);
    recording_ = true;
    return true;
}

bool WaveInDevice::stop() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (recording_ && head_ != nullptr && head_->bytesRecorded > 0) handBackHead();
    recording_ = false;
    return true;
}

bool WaveInDevice::reset() {
    std::lock_guard<std::mutex> hold(mutex_);
    recording_ = false;
    while (head_ != nullptr)
        handBackHead();
    return true;
}

size_t WaveInDevice::record(const uint8_t* bytes, size_t count) {
    std::lock_guard<std::mutex> hold(mutex_);
    size_t taken = 0;
    while (recording_ && head_ != nullptr && taken < count) {
        WaveHeader* h = head_;
        const size_t room = h->bufferLength - h->bytesRecorded;
        const size_t n = count - taken < room ? count - taken : room;
        std::memcpy(h->data + h->bytesRecorded, bytes + taken, n);
        h->bytesRecorded += static_cast<uint32_t>(n);
        taken += n;
        if (h->bytesRecorded == h->bufferLength) handBackHead();
    }
    return taken;
}

uint32_t WaveInDevice::fillCurrentBuffer(Filler fill, void* context) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!recording_ || head_ == nullptr) return 0;
    WaveHeader* h = head_;
    const uint32_t room = h->bufferLength - h->bytesRecorded;
    fill(context, h->data + h->bytesRecorded, room);
    h->bytesRecorded = h->bufferLength;
    handBackHead();
    return room;
}

uint32_t WaveInDevice::roomInCurrentBuffer() const {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!recording_ || head_ == nullptr) return 0;
    return head_->bufferLength - head_->bytesRecorded;
}

bool WaveInDevice::isRecording() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return recording_;
}

uint32_t WaveInDevice::queuedBuffers() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return queued_;
}

void WaveInDevice::handBackHead() {
    WaveHeader* h = head_;
    head_ = h->next;
    if (head_ == nullptr) tail_ = nullptr;
    --queued_;
    h->next = nullptr;
    h->flags = (h->flags & ~headerInQueue) | headerDone;
    // A thread that has gone loses the notice; its owner takes the header back by reset.
    (void)postThreadMessage(threadId_, waveInDataMessage, reinterpret_cast<uintptr_t>(this),
                            reinterpret_cast<uintptr_t>(h));
}

// ---- The installed source ----

namespace {
std::atomic<WaveInSource*> installed{nullptr};
std::atomic<InputStateListener> stateListener{nullptr};
std::mutex failureMutex;  // guards failure
std::string failure;      // the last reason told; cleared when a source is installed
}  // namespace

void installWaveInSource(WaveInSource* source) {
    installed.store(source);
    std::lock_guard<std::mutex> hold(failureMutex);
    failure.clear();
}

void tellInputFailure(const std::string& why) {
    std::lock_guard<std::mutex> hold(failureMutex);
    std::fprintf(stderr, "veldra: %s\n", why.c_str());
    failure = why;
}

std::string inputFailure() {
    std::lock_guard<std::mutex> hold(failureMutex);
    return failure;
}

void setInputStateListener(InputStateListener listener) {
    stateListener.store(listener);
}

void reportInputState(InputState state) {
    if (InputStateListener listener = stateListener.load()) listener(state);
}

uint32_t waveInDeviceCount() {
    WaveInSource* s = installed.load();
    return s == nullptr ? 0 : s->deviceCount();
}

WaveInDevice* waveInOpen(uint32_t index, const WaveFormat& format, uint32_t threadId) {
    WaveInSource* s = installed.load();
    if (s == nullptr || index >= s->deviceCount()) return nullptr;
    return s->open(index, format, threadId);
}

void waveInClose(WaveInDevice* device) {
    if (device != nullptr) device->source()->close(device);
}

WaveFormat pcmFormat(uint16_t channels, uint32_t samplesPerSecond, uint16_t bitsPerSample) {
    WaveFormat f{};
    f.formatTag = waveFormatPcm;
    f.channels = channels;
    f.samplesPerSecond = samplesPerSecond;
    f.blockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
    f.averageBytesPerSecond = samplesPerSecond * f.blockAlign;
    f.bitsPerSample = bitsPerSample;
    f.extraSize = 0;
    return f;
}

bool isMono16(const WaveFormat& format) {
    return format.formatTag == waveFormatPcm && format.channels == 1 &&
           format.bitsPerSample == 16 && format.samplesPerSecond > 0 && format.blockAlign == 2;
}

}  // namespace veldra
