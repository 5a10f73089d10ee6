#include "platform/web/wave_in_web.h"

#include <emscripten.h>

#include <cstdio>
#include <string>

#include "platform/sound_files/sound_files.h"

namespace veldra {
namespace {

// ---- the page's side ----

// Waits for the page's microphone: the rate of its sound when it records, else 0 with the
// reason written into reason (capacity bytes).
EM_ASYNC_JS(int32_t, openPageMicrophone, (char* reason, int32_t capacity), {
    const failure = await Module.veldraOpenMicrophone();
    if (!failure) return Module.veldraSoundRate();
    stringToUTF8(failure, reason, capacity);
    return 0;
});

EM_JS(void, closePageMicrophone, (), { Module.veldraCloseMicrophone(); });

// ---- the source ----

constexpr size_t pieceCapacity = 16384;  // values the page may hand in at once (192 kHz: 8832)

float piece[pieceCapacity];  // where the page writes a piece of sound
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
        const int32_t rate = openPageMicrophone(reason, sizeof reason);
        if (rate <= 0) {
            std::fprintf(stderr, "veldra: cannot open the microphone: %s\n", reason);
            return nullptr;
        }
        std::string error;
        if (!conversion_.open(rate, static_cast<int32_t>(webSoundRate), error)) {
            std::fprintf(stderr, "veldra: cannot convert the microphone's %d Hz: %s\n", rate,
                         error.c_str());
            closePageMicrophone();
            return nullptr;
        }
        device_ = std::make_unique<WaveInDevice>(this, threadId);
        return device_.get();
    }

    void close(WaveInDevice* device) override {
        if (!device_ || device != device_.get()) return;
        closePageMicrophone();
        conversion_.close();
        device_.reset();
    }

    void heard(int32_t count) {
        if (!device_) return;
        std::string error;
        const bool converted = conversion_.convert(
            piece, static_cast<size_t>(count),
            [this](const int16_t* samples, size_t n) {
                device_->record(reinterpret_cast<const uint8_t*>(samples), n * sizeof(int16_t));
            },
            error);
        if (!converted) std::fprintf(stderr, "veldra: the microphone's sound: %s\n", error.c_str());
        if (deliveredHook != nullptr) deliveredHook();
    }

  private:
    std::unique_ptr<WaveInDevice> device_;  // the open device
    LiveConversion conversion_;             // the page's rate to the device's
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
