// Sections: the PulseAudio workaround; the conversion; the microphone (open, the watch,
// close); choosing and listing.
#include "platform/backends/wave_in_sdl.h"

#include <SDL.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/sound_files/sound_files.h"

namespace veldra {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto watchEvery = std::chrono::milliseconds(50);
constexpr auto silenceMeansLost = std::chrono::seconds(1);    // no callback for this long
constexpr auto firstCallbackGrace = std::chrono::seconds(3);  // a fresh sound server is slow
constexpr auto retryEvery = std::chrono::seconds(1);

// ---- the PulseAudio workaround ----

// A libpulse client configuration that turns shared memory off, for this process only
// (libpulse reads it again at every connection, so it lives as long as the source).
class PulseWithoutSharedMemory {
  public:
    PulseWithoutSharedMemory() {
        if (std::getenv("PULSE_CLIENTCONFIG") != nullptr) return;
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::string path = std::string(runtime != nullptr && *runtime != '\0' ? runtime : "/tmp") +
                           "/veldra-pulse-XXXXXX";
        const int fd = ::mkstemp(path.data());
        if (fd < 0) return;
        constexpr char settings[] = "enable-shm = no\n";
        const bool written = ::write(fd, settings, sizeof settings - 1) == sizeof settings - 1;
        ::close(fd);
        if (written) ::setenv("PULSE_CLIENTCONFIG", path.c_str(), 1);
        path_ = path;
    }
    ~PulseWithoutSharedMemory() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    PulseWithoutSharedMemory(const PulseWithoutSharedMemory&) = delete;
    PulseWithoutSharedMemory& operator=(const PulseWithoutSharedMemory&) = delete;

  private:
    std::string path_;  // the file written; empty when none was
};

// ---- the conversion ----

// SDL's float frames at the device's rate and channels, as the stream's mono 16-bit
// samples at its rate, through fixed buffers.
class Conversion {
  public:
    bool prepare(int32_t channels, int32_t inputRate, int32_t outputRate, int32_t chunkFrames,
                 std::string& error) {
        channels_ = channels;
        chunk_ = chunkFrames;
        resampler_.close();
        if (inputRate != outputRate && !resampler_.open(inputRate, outputRate, error)) return false;
        mono_.assign(static_cast<size_t>(chunk_), 0.0f);
        converted_.assign(static_cast<size_t>(chunk_), 0.0f);
        samples_.assign(static_cast<size_t>(chunk_), 0);
        return true;
    }

    // frames interleaved frames in; the samples go to device.
    void run(const float* frames, int32_t count, WaveInDevice& device) {
        std::string error;
        for (int32_t done = 0; done < count;) {
            const int32_t n = std::min(chunk_, count - done);
            mixToMono(frames + static_cast<ptrdiff_t>(done) * channels_, channels_, n,
                      mono_.data());
            done += n;
            if (!resampler_.isOpen()) {
                deliver(mono_.data(), static_cast<size_t>(n), device);
                continue;
            }
            for (size_t used = 0; used < static_cast<size_t>(n);) {
                size_t taken = 0, given = 0;
                if (!resampler_.process(mono_.data() + used, static_cast<size_t>(n) - used, taken,
                                        converted_.data(), converted_.size(), given, error))
                    return;
                used += taken;
                deliver(converted_.data(), given, device);
                if (taken == 0 && given == 0) break;
            }
        }
    }

  private:
    void deliver(const float* values, size_t count, WaveInDevice& device) {
        for (size_t i = 0; i < count; ++i)
            samples_[i] = toSample16(values[i]);
        device.record(reinterpret_cast<const uint8_t*>(samples_.data()), count * sizeof(int16_t));
    }

    int32_t channels_ = 1;
    int32_t chunk_ = 0;  // frames converted at a time
    Resampler resampler_;
    std::vector<float> mono_, converted_;
    std::vector<int16_t> samples_;
};

// ---- the microphone ----

// Which input a device of the source stands for.
struct Input {
    bool systemDefault = true;  // the system's default input (SDL's device without a name)
    std::string name;           // else the device SDL lists under this name
};

class Microphone : public WaveInSource {
  public:
    explicit Microphone(std::string nameContains) : nameContains_(std::move(nameContains)) {
        startAudio();
        if (!audio_) std::fprintf(stderr, "veldra: no sound system: %s\n", SDL_GetError());
    }
    ~Microphone() override {
        if (device_) close(device_.get());
        stopAudio();
    }

    uint32_t deviceCount() override {
        if (!audio_) return 0;
        const int listed = SDL_GetNumAudioDevices(1);
        if (nameContains_.empty()) return 1 + static_cast<uint32_t>(std::max(listed, 0));
        if (findNamed().empty()) {
            std::fprintf(
                stderr,
                "veldra: no input's name contains \"%s\" (%s); veldra --list-inputs lists them\n",
                printableText(nameContains_).c_str(), SDL_GetCurrentAudioDriver());
            return 0;
        }
        return 1;
    }

    WaveInDevice* open(uint32_t index, const WaveFormat& format, uint32_t threadId) override {
        if (!audio_ || device_ || !isMono16(format)) return nullptr;
        Input input;
        if (!nameContains_.empty()) {
            input = {false, findNamed()};
        } else if (index > 0) {
            const char* name = SDL_GetAudioDeviceName(static_cast<int>(index) - 1, 1);
            if (name == nullptr) return nullptr;
            input = {false, name};
        }
        rate_ = static_cast<int32_t>(format.samplesPerSecond);
        device_ = std::make_unique<WaveInDevice>(this, threadId);
        std::string why;
        if (!openInput(input, why)) {
            std::fprintf(stderr, "veldra: cannot open %s (%s): %s\n", label(input).c_str(),
                         driver_.c_str(), why.c_str());
            device_.reset();
            return nullptr;
        }
        input_ = input;
        closing_ = false;
        watch_ = std::thread([this] { watch(); });
        return device_.get();
    }

    void close(WaveInDevice* device) override {
        if (!device_ || device != device_.get()) return;
        {
            std::lock_guard<std::mutex> hold(watchMutex_);
            closing_ = true;
        }
        watchWake_.notify_all();
        watch_.join();
        closeInput();
        device_.reset();
    }

  private:
    // SDL's audio, on the driver that worked before if there was one (unless the user
    // named one): SDL would otherwise fall back to another when the server is away.
    void startAudio() {
        if (!driver_.empty() && std::getenv("SDL_AUDIODRIVER") == nullptr) {
            SDL_SetHint(SDL_HINT_AUDIODRIVER, driver_.c_str());
        }
        audio_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (audio_ && driver_.empty()) driver_ = SDL_GetCurrentAudioDriver();
    }
    void stopAudio() {
        if (audio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_ = false;
    }

    std::string findNamed() const {
        const int listed = SDL_GetNumAudioDevices(1);
        for (int i = 0; i < listed; ++i) {
            const char* name = SDL_GetAudioDeviceName(i, 1);
            if (name != nullptr &&
                std::string_view(name).find(nameContains_) != std::string_view::npos)
                return name;
        }
        return {};
    }

    static std::string label(const Input& input) {
        return input.systemDefault ? "the default input"
                                   : "the input \"" + printableText(input.name) + "\"";
    }

    // Opens the input at its own rate and channel count and starts it. On false, why says so.
    bool openInput(const Input& input, std::string& why) {
        SDL_AudioSpec own{};
        int found = -1;
        if (input.systemDefault) {
            char* name = nullptr;
            found = SDL_GetDefaultAudioInfo(&name, &own, 1);
            SDL_free(name);
        } else {
            for (int i = 0; i < SDL_GetNumAudioDevices(1) && found != 0; ++i) {
                const char* name = SDL_GetAudioDeviceName(i, 1);
                if (name != nullptr && input.name == name)
                    found = SDL_GetAudioDeviceSpec(i, 1, &own);
            }
        }
        SDL_AudioSpec want{};
        want.freq = found == 0 && own.freq > 0 ? own.freq : rate_;
        want.channels = found == 0 && own.channels > 0 ? own.channels : 1;
        want.format = AUDIO_F32SYS;
        // About 20 ms a chunk: half the wake-ups of 10 ms, and well inside the tenth of a
        // second in which the needle must follow.
        want.samples = static_cast<Uint16>(want.freq >= 44100 ? 1024 : 512);
        want.callback = [](void* self, Uint8* bytes, int count) {
            static_cast<Microphone*>(self)->heard(bytes, count);
        };
        want.userdata = this;
        SDL_AudioSpec have{};
        const SDL_AudioDeviceID id =
            SDL_OpenAudioDevice(input.systemDefault ? nullptr : input.name.c_str(), 1, &want, &have,
                                SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
        if (id == 0) {
            why = SDL_GetError();
            return false;
        }
        if (!conversion_.prepare(have.channels, have.freq, rate_, have.samples, why)) {
            SDL_CloseAudioDevice(id);
            return false;
        }
        channels_ = have.channels;
        lastHeard_ = Clock::time_point{};
        opened_ = Clock::now();
        lost_ = false;
        sdl_ = id;
        SDL_PauseAudioDevice(id, 0);
        return true;
    }

    void closeInput() {
        // Waits for SDL's audio thread, which takes no lock of ours: a callback still
        // running can finish.
        if (sdl_ != 0) SDL_CloseAudioDevice(sdl_);
        sdl_ = 0;
    }

    // SDL's audio thread.
    void heard(const Uint8* bytes, int count) {
        lastHeard_ = Clock::now();
        if (lost_ || channels_ <= 0) return;
        const int32_t frames = count / static_cast<int32_t>(sizeof(float) * channels_);
        conversion_.run(reinterpret_cast<const float*>(bytes), frames, *device_);
    }

    // Why the open input counts as lost now, or null while it does not.
    const char* lossReason(Clock::time_point now) const {
        if (SDL_GetAudioDeviceStatus(sdl_) == SDL_AUDIO_STOPPED) return "the device is gone";
        const Clock::time_point last = lastHeard_;
        if (last == Clock::time_point{}) {
            return now - opened_ > firstCallbackGrace ? "no sound came after it opened" : nullptr;
        }
        return now - last > silenceMeansLost ? "its sound stopped coming" : nullptr;
    }

    // The watch thread: from open to close.
    void watch() {
        Clock::time_point nextTry{};
        std::unique_lock<std::mutex> hold(watchMutex_);
        while (!closing_) {
            watchWake_.wait_for(hold, watchEvery);
            if (closing_) break;
            hold.unlock();
            const Clock::time_point now = Clock::now();
            if (!lost_) {
                if (const char* why = lossReason(now)) {
                    lost_ = true;
                    std::fprintf(stderr, "veldra: lost %s (%s); trying again every second\n",
                                 label(input_).c_str(), why);
                    reportInputState(true);
                    nextTry = now + retryEvery;
                }
            } else if (now >= nextTry) {
                if (reopen()) {
                    std::fprintf(stderr, "veldra: %s is back\n", label(input_).c_str());
                    reportInputState(false);
                }
                nextTry = Clock::now() + retryEvery;
            }
            hold.lock();
        }
    }

    // Closes the lost input and opens it again on a fresh start of SDL's audio: the list of
    // devices is stale once the server went, and a named device may have a new place in it.
    bool reopen() {
        closeInput();
        stopAudio();
        startAudio();
        std::string why;
        return audio_ && openInput(input_, why);
    }

    std::string nameContains_;                    // the chosen part of a name; empty: default first
    PulseWithoutSharedMemory pulseConfig_;        // made before SDL's audio starts
    bool audio_ = false;                          // SDL's audio subsystem is ours
    std::string driver_;                          // the driver SDL's audio first started on
    std::unique_ptr<WaveInDevice> device_;        // the open device
    Input input_;                                 // what it records from
    int32_t rate_ = 0;                            // samples per second the device delivers
    SDL_AudioDeviceID sdl_ = 0;                   // SDL's capture device behind it
    Conversion conversion_;                       // used by SDL's audio thread while sdl_ is open
    int32_t channels_ = 0;                        // of sdl_
    std::atomic<Clock::time_point> lastHeard_{};  // the last callback; written by SDL's thread
    Clock::time_point opened_{};                  // when sdl_ opened
    std::atomic<bool> lost_{false};               // nothing is recorded while set
    std::thread watch_;                           // runs watch() from open to close
    std::mutex watchMutex_;                       // guards closing_; the watch sleeps on it
    std::condition_variable watchWake_;
    bool closing_ = false;
};

}  // namespace

// ---- choosing and listing ----

std::unique_ptr<WaveInSource> makeMicrophoneSource(const std::string& nameContains) {
    return std::make_unique<Microphone>(nameContains);
}

std::unique_ptr<WaveInSource> soundInputFor(const SoundInputChoice& choice) {
    switch (choice.kind) {
        case SoundInputKind::Demo:
            return makeDemoSource();
        case SoundInputKind::File:
            return makeFileSource(choice.text);
        case SoundInputKind::Microphone:
            break;
    }
    return makeMicrophoneSource(choice.text);
}

bool listCaptureDevices(CaptureDevices& devices, std::string& error) {
    PulseWithoutSharedMemory pulseConfig;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = std::string("no sound system: ") + SDL_GetError();
        return false;
    }
    devices.driver = SDL_GetCurrentAudioDriver();
    const int listed = SDL_GetNumAudioDevices(1);
    for (int i = 0; i < listed; ++i) {
        if (const char* name = SDL_GetAudioDeviceName(i, 1)) devices.names.push_back(name);
    }
    char* name = nullptr;
    SDL_AudioSpec spec{};
    if (SDL_GetDefaultAudioInfo(&name, &spec, 1) == 0 && name != nullptr)
        devices.defaultName = name;
    SDL_free(name);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (devices.names.empty()) {
        error = "no capture device (SDL's " + devices.driver + " driver lists none)";
        return false;
    }
    return true;
}

}  // namespace veldra
