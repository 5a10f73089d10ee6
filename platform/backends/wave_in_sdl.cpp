// Sections: the PulseAudio workaround; the conversion; the microphone (the sound thread's
// side, the caller's side); choosing and listing.
#include "platform/backends/wave_in_sdl.h"

#include <SDL.h>
#include <alsa/asoundlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "platform/backends/sound_thread.h"
#include "platform/backends/window_backend_sdl.h"
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
// samples at its rate: mixed to mono, then the live inputs' one road (live_conversion.h),
// through fixed buffers.
class Conversion {
  public:
    bool prepare(int32_t channels, int32_t inputRate, int32_t outputRate, int32_t chunkFrames,
                 std::string& error) {
        channels_ = channels;
        chunk_ = chunkFrames;
        mono_.assign(static_cast<size_t>(chunk_), 0.0f);
        return road_.open(inputRate, outputRate, error);
    }

    // frames interleaved frames in; the samples go to device.
    void run(const float* frames, int32_t count, WaveInDevice& device) {
        std::string error;
        const auto deliver = [&device](const int16_t* samples, size_t n) {
            device.record(reinterpret_cast<const uint8_t*>(samples), n * sizeof(int16_t));
        };
        for (int32_t done = 0; done < count;) {
            const int32_t n = std::min(chunk_, count - done);
            mixToMono(frames + static_cast<ptrdiff_t>(done) * channels_, channels_, n,
                      mono_.data());
            done += n;
            if (!road_.convert(mono_.data(), static_cast<size_t>(n), deliver, error)) return;
        }
    }

  private:
    int32_t channels_ = 1;
    int32_t chunk_ = 0;  // frames mixed at a time
    LiveConversion road_;
    std::vector<float> mono_;
};

// ---- the microphone ----

constexpr auto callPatience = std::chrono::seconds(5);     // then the sound server does not answer
constexpr auto closingPatience = std::chrono::seconds(1);  // a player who quits waits no longer

// ALSA's library writes its own complaints (no card, no plugin, ...) straight to standard
// error before SDL gives its reason; SDL's reason says what matters, in one line.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Which input a device of the source stands for.
struct Input {
    bool systemDefault = true;  // the system's default input (SDL's device without a name)
    std::string name;           // else the device SDL lists under this name, or while
    std::string nameContains;   // that is empty, the first whose name contains this
};

std::string label(const Input& input) {
    if (input.systemDefault) return "the default input";
    return "the input \"" + printableText(input.name.empty() ? input.nameContains : input.name) +
           "\"";
}

// The inputs SDL offers, as the sound thread found them.
struct Offer {
    bool audio = false;              // SDL's audio runs
    std::string why;                 // else SDL's reason
    std::string driver;              // the driver it runs on
    std::vector<std::string> names;  // SDL's capture devices, in its order
    std::string defaultName;         // the system's default, when asked for and SDL can say
};

// The first name in names that contains part; empty when none does.
std::string findNamed(const std::vector<std::string>& names, const std::string& part) {
    for (const std::string& name : names) {
        if (name.find(part) != std::string::npos) return name;
    }
    return {};
}

// How an open ended, settled under its lock between the caller and the sound thread:
// whichever comes first, the open ending or the caller giving up, decides who tells.
struct OpenOutcome {
    std::mutex mutex;
    bool ended = false;  // the open has ended: opened says how, why and driver why not
    bool opened = false;
    std::string why, driver;
    bool callerGaveUp = false;  // the caller returned the device as lost: the open goes on trying
};

// The sound thread's side of the microphone: SDL's audio, the capture device and the watch
// over it. The jobs and the watch run on the sound thread; heard on SDL's audio thread;
// allowReports and tell on any thread.
class Capture {
  public:
    Capture() = default;
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    // ---- jobs ----

    // SDL's audio, on the driver that worked before if there was one (unless the user
    // named one): SDL would otherwise fall back to another when the server is away.
    void startAudio() {
        static std::once_flag alsaQuiet;
        std::call_once(alsaQuiet, [] { snd_lib_error_set_handler(quietAlsa); });
        if (!driver_.empty() && std::getenv("SDL_AUDIODRIVER") == nullptr) {
            SDL_SetHint(SDL_HINT_AUDIODRIVER, driver_.c_str());
        }
        // The sound settings list the stream under these names, not "SDL Application"
        // (SDL_APP_NAME and the like in the environment still win).
        SDL_SetHint(SDL_HINT_APP_NAME, desktopAppName);
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Tuner input");
        audio_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        audioWhy_ = audio_ ? "" : SDL_GetError();
        if (audio_ && driver_.empty()) driver_ = SDL_GetCurrentAudioDriver();
    }
    void stopAudio() {
        if (audio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_ = false;
    }

    Offer offer(bool withDefault) const {
        Offer o{audio_, audioWhy_, audio_ ? SDL_GetCurrentAudioDriver() : "", {}, {}};
        if (!audio_) return o;
        const int listed = SDL_GetNumAudioDevices(1);
        for (int i = 0; i < listed; ++i) {
            if (const char* name = SDL_GetAudioDeviceName(i, 1)) o.names.push_back(name);
        }
        char* name = nullptr;
        SDL_AudioSpec spec{};
        if (withDefault && SDL_GetDefaultAudioInfo(&name, &spec, 1) == 0 && name != nullptr)
            o.defaultName = name;
        SDL_free(name);
        return o;
    }

    // Records from input into device from now on; outcome says how the first try went.
    void open(Input input, int32_t rate, std::shared_ptr<WaveInDevice> device,
              OpenOutcome& outcome) {
        input_ = std::move(input);
        rate_ = rate;
        device_ = std::move(device);
        std::string why = "no sound system: " + audioWhy_;
        const bool opened = audio_ && openInput(why);
        std::lock_guard<std::mutex> hold(outcome.mutex);
        outcome.ended = true;
        outcome.opened = opened;
        outcome.why = why;
        outcome.driver = driver_;
        if (!opened && !outcome.callerGaveUp) {  // the caller tells, and gives up the device
            device_.reset();
            return;
        }
        wanted_ = true;
        if (!opened) {
            lost_ = true;
            nextTry_ = Clock::now() + retryEvery;
        } else if (outcome.callerGaveUp) {
            tell(InputState::Present, label(input_) + " is back");
        }
    }

    void close() {
        wanted_ = false;
        closeInput();
        device_.reset();
    }

    // The tick: a lost input is said once and tried again about once a second.
    void watch() {
        if (!wanted_) return;
        const Clock::time_point now = Clock::now();
        if (!lost_) {
            if (const char* why = lossReason(now)) {
                lost_ = true;
                tell(InputState::Lost,
                     "lost " + label(input_) + " (" + why + "); trying again every second");
                nextTry_ = now + retryEvery;
            }
        } else if (now >= nextTry_) {
            if (reopen()) tell(InputState::Present, label(input_) + " is back");
            nextTry_ = Clock::now() + retryEvery;
        }
    }

    // ---- any thread ----

    // Off from the caller's close to its next open: nothing is said to a program that has
    // moved on, however late a stuck call returns.
    void allowReports(bool allowed) {
        std::lock_guard<std::mutex> hold(reportMutex_);
        reportsAllowed_ = allowed;
    }
    // line on standard error and the input's new state to the program, unless reports are off.
    void tell(InputState state, const std::string& line) {
        std::lock_guard<std::mutex> hold(reportMutex_);
        if (!reportsAllowed_) return;
        std::fprintf(stderr, "veldra: %s\n", line.c_str());
        reportInputState(state);
    }

  private:
    // Opens input_ at its own rate and channel count and starts it. On false, why says so.
    bool openInput(std::string& why) {
        const int listed = SDL_GetNumAudioDevices(1);
        if (!input_.systemDefault && input_.name.empty()) {
            for (int i = 0; i < listed && input_.name.empty(); ++i) {
                const char* name = SDL_GetAudioDeviceName(i, 1);
                if (name != nullptr &&
                    std::string_view(name).find(input_.nameContains) != std::string_view::npos)
                    input_.name = name;
            }
            if (input_.name.empty()) {
                why = "no input's name contains \"" + printableText(input_.nameContains) + "\"";
                return false;
            }
        }
        SDL_AudioSpec own{};
        int found = -1;
        if (input_.systemDefault) {
            char* name = nullptr;
            found = SDL_GetDefaultAudioInfo(&name, &own, 1);
            SDL_free(name);
        } else {
            for (int i = 0; i < listed && found != 0; ++i) {
                const char* name = SDL_GetAudioDeviceName(i, 1);
                if (name != nullptr && input_.name == name)
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
            static_cast<Capture*>(self)->heard(bytes, count);
        };
        want.userdata = this;
        SDL_AudioSpec have{};
        const SDL_AudioDeviceID id = SDL_OpenAudioDevice(
            input_.systemDefault ? nullptr : input_.name.c_str(), 1, &want, &have,
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

    // Closes the lost input and opens it again on a fresh start of SDL's audio: the list of
    // devices is stale once the server went, and a named device may have a new place in it.
    bool reopen() {
        closeInput();
        stopAudio();
        startAudio();
        std::string why;
        return audio_ && openInput(why);
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

    bool audio_ = false;                          // SDL's audio subsystem is ours
    std::string audioWhy_;                        // SDL's reason when it would not start
    std::string driver_;                          // the driver SDL's audio first started on
    bool wanted_ = false;                         // an open device records; the watch keeps it
    Input input_;                                 // what it records from
    int32_t rate_ = 0;                            // samples per second the device delivers
    std::shared_ptr<WaveInDevice> device_;        // where the sound goes while wanted_
    SDL_AudioDeviceID sdl_ = 0;                   // SDL's capture device behind it
    Conversion conversion_;                       // used by SDL's audio thread while sdl_ is open
    int32_t channels_ = 0;                        // of sdl_
    std::atomic<Clock::time_point> lastHeard_{};  // the last callback; written by SDL's thread
    Clock::time_point opened_{};                  // when sdl_ opened
    std::atomic<bool> lost_{false};               // nothing is recorded while set
    Clock::time_point nextTry_{};                 // when a lost input is tried again
    std::mutex reportMutex_;                      // guards reportsAllowed_ and the telling
    bool reportsAllowed_ = false;                 // set by the caller's open, cleared by its close
};

// The caller's side: every call into SDL goes to the sound thread, and none waits for it
// longer than callPatience (closingPatience at the end).
class Microphone : public WaveInSource {
  public:
    explicit Microphone(std::string nameContains)
        : nameContains_(std::move(nameContains)),
          capture_(std::make_shared<Capture>()),
          thread_([capture = capture_] { capture->watch(); }, watchEvery) {
        thread_.post([capture = capture_] { capture->startAudio(); });
    }
    ~Microphone() override {
        if (device_) close(device_.get());
        thread_.post([capture = capture_] {
            capture->stopAudio();
            SDL_TLSCleanup();  // SDL's own per-thread data (its error text) ends with the thread
        });
        thread_.end(closingPatience);
    }

    // With no answer: one device, the input asked for, which open returns lost.
    uint32_t deviceCount() override {
        const auto offer = std::make_shared<Offer>();
        if (!thread_.run([capture = capture_, offer] { *offer = capture->offer(false); },
                         callPatience))
            return 1;
        offer_ = *offer;
        if (!offer_.audio) {
            tellInputFailure("no sound system: " + offer_.why);
            return 0;
        }
        if (nameContains_.empty()) return 1 + static_cast<uint32_t>(offer_.names.size());
        if (findNamed(offer_.names, nameContains_).empty()) {
            tellInputFailure("no input's name contains \"" + printableText(nameContains_) + "\" (" +
                             offer_.driver + "); veldra --list-inputs lists them");
            return 0;
        }
        return 1;
    }

    WaveInDevice* open(uint32_t index, const WaveFormat& format, uint32_t threadId) override {
        if (device_ || !isMono16(format)) return nullptr;
        Input input;
        if (!nameContains_.empty()) {
            input = {false, findNamed(offer_.names, nameContains_), nameContains_};
        } else if (index > 0) {
            if (index > offer_.names.size()) return nullptr;
            input = {false, offer_.names[index - 1], ""};
        }
        device_ = std::make_shared<WaveInDevice>(this, threadId);
        capture_->allowReports(true);
        const auto outcome = std::make_shared<OpenOutcome>();
        thread_.run(
            [capture = capture_, input, rate = static_cast<int32_t>(format.samplesPerSecond),
             device = device_, outcome] { capture->open(input, rate, device, *outcome); },
            callPatience);
        std::lock_guard<std::mutex> hold(outcome->mutex);
        if (!outcome->ended) {
            outcome->callerGaveUp = true;
            capture_->tell(InputState::Lost, "the sound server does not answer; " + label(input) +
                                                 " counts as lost, trying again every second");
        } else if (!outcome->opened) {
            tellInputFailure("cannot open " + label(input) + " (" + outcome->driver +
                             "): " + outcome->why);
            capture_->allowReports(false);
            device_.reset();
        }
        return device_.get();
    }

    void close(WaveInDevice* device) override {
        if (!device_ || device != device_.get()) return;
        capture_->allowReports(false);
        thread_.run([capture = capture_] { capture->close(); }, closingPatience);
        device_.reset();
    }

  private:
    std::string nameContains_;              // the chosen part of a name; empty: default first
    PulseWithoutSharedMemory pulseConfig_;  // made before SDL's audio starts
    std::shared_ptr<Capture> capture_;      // the sound thread's side; its jobs hold it too
    SoundThread thread_;                    // every call into SDL's audio; made after capture_
    Offer offer_;                           // what the last answered count found
    std::shared_ptr<WaveInDevice> device_;  // the open device; the sound thread holds it too
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
    // Ctrl+C ends a listing: SDL would turn it into a quit event that nobody reads here.
    const char* handlers = SDL_GetHint(SDL_HINT_NO_SIGNAL_HANDLERS);
    const std::string handlersBefore = handlers != nullptr ? handlers : "";
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const auto capture = std::make_shared<Capture>();
    const auto offer = std::make_shared<Offer>();
    SoundThread thread({}, {});
    const bool answered = thread.run(
        [capture, offer] {
            capture->startAudio();
            *offer = capture->offer(true);
            capture->stopAudio();
            SDL_TLSCleanup();
        },
        callPatience);
    thread.end(closingPatience);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS,
                handlers != nullptr ? handlersBefore.c_str() : nullptr);
    if (!answered) {
        error = "the sound server does not answer (nothing in 5 s)";
        return false;
    }
    if (!offer->audio) {
        error = "no sound system: " + offer->why;
        return false;
    }
    devices.driver = offer->driver;
    devices.names = offer->names;
    devices.defaultName = offer->defaultName;
    if (devices.names.empty()) {
        error = "no capture device (SDL's " + devices.driver + " driver lists none)";
        return false;
    }
    return true;
}

}  // namespace veldra
