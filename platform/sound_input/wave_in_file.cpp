#include "platform/sound_input/wave_in_file.h"

#include <algorithm>
#include <cstdio>

#include "platform/sound_files/sound_files.h"
#include "platform/sound_input/wave_in_paced.h"

namespace veldra {
namespace {

class FileSound : public SoundProducer {
  public:
    explicit FileSound(std::string path) : path_(std::move(path)) {}

    bool begin(uint32_t samplesPerSecond, std::string& error) override {
        failed_ = false;
        reader_ = std::make_unique<SoundFileReader>(static_cast<int32_t>(samplesPerSecond));
        if (reader_->open(path_)) return true;
        error = reader_->error().message;
        return false;
    }

    void produce(int16_t* samples, size_t count) override {
        // The end of the sound is silence from then on; so is a failure to read more, which
        // is told once as a lost input and not tried again: the same bytes would fail again.
        int32_t done = 0;
        while (static_cast<size_t>(done) < count && !failed_) {
            const int32_t n = reader_->read(samples + done, static_cast<int32_t>(count) - done);
            if (n > 0) {
                done += n;
                continue;
            }
            if (reader_->error().problem != SoundFileProblem::None) {
                failed_ = true;
                std::fprintf(stderr, "veldra: lost the input %s; it is not read again\n",
                             reader_->error().message.c_str());
                reportInputState(InputState::LostForGood);
            }
            break;
        }
        std::fill(samples + done, samples + count, int16_t{0});
    }

  private:
    std::string path_;
    std::unique_ptr<SoundFileReader> reader_;  // made by begin, at the device's rate
    bool failed_ = false;                      // a read failed: silence from then on
};

class DemoPerformance : public SoundProducer {
  public:
    bool begin(uint32_t samplesPerSecond, std::string&) override {
        resetDemoSound(sound_, static_cast<int32_t>(samplesPerSecond), true);
        return true;
    }

    void produce(int16_t* samples, size_t count) override {
        pullDemoSound(sound_, samples, static_cast<int32_t>(count));
    }

  private:
    DemoSound sound_{};  // where the performance stands
};

}  // namespace

std::unique_ptr<WaveInSource> makeFileSource(const std::string& path) {
    return std::make_unique<PacedWaveIn>(std::make_unique<FileSound>(path));
}

std::unique_ptr<WaveInSource> makeDemoSource() {
    return std::make_unique<PacedWaveIn>(std::make_unique<DemoPerformance>());
}

}  // namespace veldra
