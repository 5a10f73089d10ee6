#include "platform/backends/wave_in_sdl.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sound_input/sound_input.h"

namespace veldra {
namespace {

class Microphone : public WaveInSource {
  public:
    Microphone() : audio_(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        if (!audio_) std::fprintf(stderr, "veldra: no sound system: %s\n", SDL_GetError());
    }
    ~Microphone() override {
        if (device_) close(device_.get());
        if (audio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    uint32_t deviceCount() override {
        if (!audio_) return 0;
        const int n = SDL_GetNumAudioDevices(1);
        // -1: SDL cannot list the devices, but the default one may still open.
        return n < 0 ? 1 : static_cast<uint32_t>(n);
    }

    WaveInDevice* open(uint32_t index, const WaveFormat& format, uint32_t threadId) override {
        if (!audio_ || device_ || format.formatTag != waveFormatPcm) return nullptr;
        const int listed = SDL_GetNumAudioDevices(1);
        const char* name =
            listed < 0 ? nullptr : SDL_GetAudioDeviceName(static_cast<int>(index), 1);
        if (listed >= 0 && name == nullptr) return nullptr;

        device_ = std::make_unique<WaveInDevice>(this, threadId);
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(format.samplesPerSecond);
        want.format = format.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
        want.channels = static_cast<Uint8>(format.channels);
        // About 10 ms per chunk at the tuner's rate, so that blocks come back evenly.
        want.samples = 256;
        want.callback = [](void* self, Uint8* bytes, int count) {
            static_cast<WaveInDevice*>(self)->record(bytes, static_cast<size_t>(count));
        };
        want.userdata = device_.get();
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts whatever the hardware gives into this format.
        sdlDevice_ = SDL_OpenAudioDevice(name, 1, &want, &have, 0);
        if (sdlDevice_ == 0) {
            std::fprintf(stderr, "veldra: cannot open the microphone \"%s\": %s\n",
                         name != nullptr ? name : "default", SDL_GetError());
            device_.reset();
            return nullptr;
        }
        SDL_PauseAudioDevice(sdlDevice_, 0);
        return device_.get();
    }

    void close(WaveInDevice* device) override {
        if (!device_ || device != device_.get()) return;
        // Waits for SDL's audio thread; the device's own lock is not held here, so a
        // callback still running can finish.
        SDL_CloseAudioDevice(sdlDevice_);
        sdlDevice_ = 0;
        device_.reset();
    }

  private:
    bool audio_;                            // SDL's audio subsystem is ours to use
    std::unique_ptr<WaveInDevice> device_;  // the open device
    SDL_AudioDeviceID sdlDevice_ = 0;       // SDL's capture device behind it
};

}  // namespace

std::unique_ptr<WaveInSource> makeMicrophoneSource() {
    return std::make_unique<Microphone>();
}

std::unique_ptr<WaveInSource> soundInputFromEnvironment() {
    const SoundInputChoice choice = chooseSoundInput(std::getenv(soundInputVariable));
    switch (choice.kind) {
        case SoundInputKind::Demo:
            return makeDemoSource();
        case SoundInputKind::File:
            return makeFileSource(choice.path);
        case SoundInputKind::Microphone:
            break;
    }
    return makeMicrophoneSource();
}

}  // namespace veldra
