#include "platform/web/wave_in_web.h"

#include <emscripten.h>

#include <cstdio>

#include "platform/sound_files/sound_files.h"

namespace veldra {
namespace {

// ---- the page's side ----

// Waits for the page's microphone: 0 when it records, else the reason is written into
// reason (capacity bytes) and 1 returned.
EM_ASYNC_JS(int32_t, openPageMicrophone, (char* reason, int32_t capacity), {
    const failure = await Module.veldraOpenMicrophone();
    if (!failure) return 0;
    stringToUTF8(failure, reason, capacity);
    return 1;
});

EM_JS(void, closePageMicrophone, (), { Module.veldraCloseMicrophone(); });

// ---- the source ----

constexpr size_t pieceCapacity = 8192;  // samples the page may hand in at once

float piece[pieceCapacity];  // where the page writes a piece of sound
int16_t samples[pieceCapacity];
void (*deliveredHook)() = nullptr;

class WebMicrophone;
WebMicrophone* live = nullptr;  // the source the page's sound goes to

class WebMicrophone final : public WaveInSource {
  public:
    WebMicrophone() { live = this; }
    ~WebMicrophone() override {
        if (device_) close(device_.get());
        live = nullptr;
    }

    uint32_t deviceCount() override { return 1; }

    WaveInDevice* open(uint32_t index, const WaveFormat& format, uint32_t threadId) override {
        if (index != 0 || device_ || !isMono16(format) || format.samplesPerSecond != webSoundRate)
            return nullptr;
        char reason[200] = "";
        if (openPageMicrophone(reason, sizeof reason) != 0) {
            std::fprintf(stderr, "veldra: cannot open the microphone: %s\n", reason);
            return nullptr;
        }
        device_ = std::make_unique<WaveInDevice>(this, threadId);
        return device_.get();
    }

    void close(WaveInDevice* device) override {
        if (!device_ || device != device_.get()) return;
        closePageMicrophone();
        device_.reset();
    }

    void heard(int32_t count) {
        if (!device_) return;
        for (int32_t i = 0; i < count; ++i)
            samples[i] = toSample16(sanitize(piece[i]));
        device_->record(reinterpret_cast<const uint8_t*>(samples),
                        static_cast<size_t>(count) * sizeof(int16_t));
        if (deliveredHook != nullptr) deliveredHook();
    }

  private:
    std::unique_ptr<WaveInDevice> device_;  // the open device
};

}  // namespace

std::unique_ptr<WaveInSource> makeWebMicrophone() {
    if (live != nullptr) return nullptr;
    return std::make_unique<WebMicrophone>();
}

void setSoundDeliveredHook(void (*hook)()) {
    deliveredHook = hook;
}

}  // namespace veldra

// Where the page writes a piece of sound, and how many samples it may hold.
extern "C" EMSCRIPTEN_KEEPALIVE float* veldra_web_sound_buffer() {
    return veldra::piece;
}
extern "C" EMSCRIPTEN_KEEPALIVE int32_t veldra_web_sound_capacity() {
    return static_cast<int32_t>(veldra::pieceCapacity);
}

// count samples are in the buffer: recorded, while a device is open.
extern "C" EMSCRIPTEN_KEEPALIVE void veldra_web_sound(int32_t count) {
    if (veldra::live == nullptr || count <= 0 ||
        count > static_cast<int32_t>(veldra::pieceCapacity))
        return;
    veldra::live->heard(count);
}
