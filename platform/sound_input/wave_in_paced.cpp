#include "platform/sound_input/wave_in_paced.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace veldra {
namespace {

using Clock = std::chrono::steady_clock;

// How often a pacer without a buffer to fill looks again.
constexpr auto idleLook = std::chrono::milliseconds(2);

// Samples produced per step; a larger buffer is filled in several steps.
constexpr size_t scratchSamples = 4096;

}  // namespace

PacedWaveIn::PacedWaveIn(std::unique_ptr<SoundProducer> producer)
    : producer_(std::move(producer)) {}

PacedWaveIn::~PacedWaveIn() {
    if (device_) close(device_.get());
}

WaveInDevice* PacedWaveIn::open(uint32_t index, const WaveFormat& format, uint32_t threadId) {
    if (index != 0 || device_ || !producer_) return nullptr;
    if (!isMono16(format)) return nullptr;
    std::string error;
    if (!producer_->begin(format.samplesPerSecond, error)) {
        tellInputFailure("sound input: " + error);
        return nullptr;
    }
    samplesPerSecond_ = format.samplesPerSecond;
    scratch_.assign(scratchSamples, 0);
    device_ = std::make_unique<WaveInDevice>(this, threadId);
    closing_ = false;
    try {
        pacer_ = std::thread([this] { pace(); });
    } catch (const std::system_error&) {
        device_.reset();
        return nullptr;
    }
    return device_.get();
}

void PacedWaveIn::close(WaveInDevice* device) {
    if (!device_ || device != device_.get()) return;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        closing_ = true;
    }
    wake_.notify_all();
    pacer_.join();
    device_.reset();
}

void PacedWaveIn::produceInto(uint8_t* bytes, uint32_t count) {
    // Samples go in as little-endian bytes, the platform's order; an odd-sized buffer
    // ends inside a sample, whose second byte is dropped.
    while (count > 0) {
        const size_t n = (count + 1) / 2 < scratchSamples ? (count + 1) / 2 : scratchSamples;
        const uint32_t taken = n * 2 < count ? static_cast<uint32_t>(n * 2) : count;
        producer_->produce(scratch_.data(), n);
        std::memcpy(bytes, scratch_.data(), taken);
        bytes += taken;
        count -= taken;
    }
}

void PacedWaveIn::pace() {
    const double rate = samplesPerSecond_;
    const auto lengthOf = [rate](uint32_t bytes) {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(bytes) / 2.0 / rate));
    };
    std::unique_lock<std::mutex> hold(mutex_);
    bool flowing = false;     // the sound is moving into buffers
    Clock::time_point due{};  // when the buffer being filled is full
    while (!closing_) {
        const uint32_t room = device_->roomInCurrentBuffer();
        if (room == 0) {
            flowing = false;
            wake_.wait_for(hold, idleLook);
            continue;
        }
        if (!flowing) {
            flowing = true;
            due = Clock::now() + lengthOf(room);
        }
        if (Clock::now() < due) {
            wake_.wait_until(hold, due);
            continue;
        }
        hold.unlock();
        // Produced under the device's lock, so that a stop can never come between the
        // sound being produced and being recorded: the sound pauses, nothing is lost.
        device_->fillCurrentBuffer(
            [](void* self, uint8_t* bytes, uint32_t count) {
                static_cast<PacedWaveIn*>(self)->produceInto(bytes, count);
            },
            this);
        hold.lock();
        const uint32_t next = device_->roomInCurrentBuffer();
        if (next == 0) {
            flowing = false;
        } else {
            due += lengthOf(next);
        }
    }
}

}  // namespace veldra
