// The sound file reader's output: bit-exact pass-through, mixing, clipping, NaN and
// infinities, resampling from other rates, other containers, rewinding, and that the
// same bytes read the same from a path and from memory.
#include "platform/sound_file.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/recordings.h"

namespace veldra {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/veldra-reader-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Writes interleaved frames with libsndfile in the given format; frames = values / channels.
void writeSound(const std::string& path, int format, int rate, int channels, const std::vector<float>& values) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    // Keep values beyond full scale and non-finite values as they are in float files.
    sf_command(f, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_FALSE);
    ASSERT_EQ(sf_writef_float(f, values.data(), static_cast<sf_count_t>(values.size() / channels)),
              static_cast<sf_count_t>(values.size() / channels));
    sf_close(f);
}

// Everything the reader gives, fetched in chunks of the given size.
std::vector<int16_t> readAll(SoundFileReader& reader, int32_t chunk) {
    std::vector<int16_t> out;
    std::vector<int16_t> buffer(chunk);
    for (int32_t got; (got = reader.read(buffer.data(), chunk)) > 0;) out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    return out;
}

std::vector<int16_t> readFile(const std::string& path, int32_t chunk = 220) {
    SoundFileReader reader;
    EXPECT_TRUE(reader.open(path)) << reader.error().message;
    return readAll(reader, chunk);
}

// Sine of the given frequency and peak (full scale 1.0), one channel.
std::vector<float> sine(double hz, int rate, double seconds, double peak) {
    std::vector<float> v(static_cast<size_t>(rate * seconds));
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(peak * std::sin(2 * M_PI * hz * i / rate));
    return v;
}

// Frequency from the rising zero crossings between the first and last quarter, with
// linear interpolation between the straddling samples.
double measuredFrequency(const std::vector<int16_t>& s) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = s.size() / 4; i + 1 < 3 * s.size() / 4; ++i) {
        if (s[i] < 0 && s[i + 1] >= 0) {
            const double at = i + static_cast<double>(-s[i]) / (s[i + 1] - s[i]);
            if (first < 0) first = at;
            else ++crossings;
            last = at;
        }
    }
    return crossings > 0 ? soundFileOutputRate * crossings / (last - first) : 0.0;
}

TEST(SoundFileReaderTest, ReferenceRecordingsPassThroughBitForBitFromPathAndMemory) {
    for (const char* name : {"viola_C3", "harp_E3_minus12c", "elec_guitar_six_strings", "synth_voice_A3"}) {
        SCOPED_TRACE(name);
        const std::string path = testing::dataPath(std::string(name) + ".wav");
        const std::vector<int16_t> expected = testing::readMonoWav16(path);
        ASSERT_GT(expected.size(), 22050u);
        SoundFileReader reader;
        ASSERT_TRUE(reader.open(path)) << reader.error().message;
        EXPECT_TRUE(reader.format().passThrough);
        EXPECT_FALSE(reader.format().resampled);
        // Odd chunk sizes must not matter.
        EXPECT_EQ(readAll(reader, 220), expected);
        ASSERT_TRUE(reader.open(path));
        EXPECT_EQ(readAll(reader, 997), expected);

        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        ASSERT_TRUE(reader.openMemory(bytes.data(), bytes.size(), name)) << reader.error().message;
        EXPECT_EQ(readAll(reader, 1), expected);
    }
}

TEST(SoundFileReaderTest, FloatValuesScaleClipAndNaNIsSilence) {
    TempDir dir;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> values = {0.0f,  1000.0f / 32768, -1000.0f / 32768, 0.5f, -1.0f, 1.0f,
                                       1.5f,  -2.0f,           nan,              inf,  -inf,  1e30f,
                                       3.9f / 32768, -3.9f / 32768};
    const std::vector<int16_t> expected = {0, 1000, -1000, 16384, -32768, 32767, 32767, -32768,
                                           0, 32767, -32768, 32767, 3, -3};
    writeSound(dir.file("f.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1, values);
    SoundFileReader reader;
    ASSERT_TRUE(reader.open(dir.file("f.wav"))) << reader.error().message;
    EXPECT_FALSE(reader.format().passThrough);
    EXPECT_EQ(readAll(reader, 5), expected);
}

TEST(SoundFileReaderTest, ChannelsAverageAfterEachIsMadeSafe) {
    TempDir dir;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Stereo frames: plain mean, truncation toward zero, a NaN channel counts as silence,
    // an infinite channel as full scale.
    const std::vector<float> stereo = {1000.0f / 32768, -3000.0f / 32768,  //
                                       1.0f / 32768,    2.0f / 32768,      //
                                       -1.0f / 32768,   -2.0f / 32768,     //
                                       nan,             0.5f,              //
                                       std::numeric_limits<float>::infinity(), 0.0f};
    writeSound(dir.file("s.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 2, stereo);
    EXPECT_EQ(readFile(dir.file("s.wav")), (std::vector<int16_t>{-1000, 1, -1, 8192, 16384}));

    // Eight channels of 16-bit PCM holding 100, 200, ..., 800: the mean is 450.
    std::vector<float> eight;
    for (int frame = 0; frame < 300; ++frame)
        for (int c = 1; c <= 8; ++c) eight.push_back(static_cast<float>(100 * c) / 32768);
    writeSound(dir.file("8.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 8, eight);
    EXPECT_EQ(readFile(dir.file("8.wav")), std::vector<int16_t>(300, 450));
}

struct RateCase {
    int rate;
    int channels;
    int format;
};

class SoundFileRateTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(SoundFileRateTest, ResampledSoundKeepsPitchLengthAndLevel) {
    const RateCase c = GetParam();
    TempDir dir;
    const double hz = 196.0, seconds = 3.0, peak = 0.5;
    const std::vector<float> mono = sine(hz, c.rate, seconds, peak);
    std::vector<float> frames;
    for (float v : mono)
        for (int ch = 0; ch < c.channels; ++ch) frames.push_back(v);
    writeSound(dir.file("r.wav"), c.format, c.rate, c.channels, frames);

    SoundFileReader reader;
    ASSERT_TRUE(reader.open(dir.file("r.wav"))) << reader.error().message;
    EXPECT_EQ(reader.format().resampled, c.rate != 22050);
    const std::vector<int16_t> out = readAll(reader, 220);
    EXPECT_NEAR(static_cast<double>(out.size()), seconds * 22050, 3.0);
    EXPECT_NEAR(measuredFrequency(out), hz, hz * 1e-4);
    int16_t highest = 0;
    for (size_t i = out.size() / 4; i < 3 * out.size() / 4; ++i) highest = std::max(highest, out[i]);
    // Vorbis is lossy; the others keep the level within the resampler's ripple.
    const double tolerance = (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS ? 0.05 : 0.01;
    EXPECT_NEAR(highest, peak * 32768, peak * 32768 * tolerance);
}

INSTANTIATE_TEST_SUITE_P(Rates, SoundFileRateTest,
                         ::testing::Values(RateCase{8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                           RateCase{44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
                                           RateCase{48000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                                           RateCase{192000, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                                           RateCase{22050, 1, SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                                           RateCase{32000, 1, SF_FORMAT_AIFF | SF_FORMAT_PCM_16}),
                         [](const auto& info) { return "rate" + std::to_string(info.param.rate) + "_" + std::to_string(info.index); });

TEST(SoundFileReaderTest, FlacAtTheTunersRateIsAlsoBitExact) {
    TempDir dir;
    std::vector<int16_t> values;
    for (int i = 0; i < 5000; ++i) values.push_back(static_cast<int16_t>((i * 7919) % 65536 - 32768));
    values[1] = -32768;
    values[2] = 32767;
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(dir.file("x.flac").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_write_short(f, values.data(), static_cast<sf_count_t>(values.size()));
    sf_close(f);
    SoundFileReader reader;
    ASSERT_TRUE(reader.open(dir.file("x.flac")));
    EXPECT_TRUE(reader.format().passThrough);
    EXPECT_EQ(readAll(reader, 333), values);
}

TEST(SoundFileReaderTest, RewindStartsTheSameSoundAgain) {
    TempDir dir;
    writeSound(dir.file("r.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, sine(300, 44100, 0.5, 0.3));
    for (const std::string& path : {dir.file("r.wav"), testing::dataPath("viola_C3.wav")}) {
        SoundFileReader reader;
        ASSERT_TRUE(reader.open(path));
        const std::vector<int16_t> first = readAll(reader, 500);
        ASSERT_TRUE(reader.rewind());
        // Part way, then again from the start.
        std::vector<int16_t> part(700);
        ASSERT_EQ(reader.read(part.data(), 700), 700);
        ASSERT_TRUE(reader.rewind());
        EXPECT_EQ(readAll(reader, 220), first);
    }
}

TEST(SoundFileReaderTest, HeaderClaimingMoreThanTheFileHoldsGivesWhatIsThere) {
    const std::vector<int16_t> full = testing::readMonoWav16(testing::dataPath("viola_C3.wav"));
    std::ifstream in(testing::dataPath("viola_C3.wav"), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    // Cut the data after 1001 samples and a half; the header still claims them all.
    bytes.resize(44 + 2 * 1001 + 1);
    SoundFileReader reader;
    ASSERT_TRUE(reader.openMemory(bytes.data(), bytes.size(), "cut.wav")) << reader.error().message;
    const std::vector<int16_t> out = readAll(reader, 220);
    EXPECT_EQ(out, std::vector<int16_t>(full.begin(), full.begin() + 1001));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::None);
}

// A long file read through the resampler: the reader's memory does not grow with it.
// The file is sparse (silence that takes no disk), so its length costs only reading time.
TEST(SoundFileReaderTest, LongFileIsStreamedInConstantMemory) {
    TempDir dir;
    const std::string path = dir.file("long.wav");
    writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, sine(440, 44100, 1.0, 0.5));
    constexpr int64_t seconds = 10 * 60;
    {
        // Grow the data chunk to the full length and fix the two sizes in the header.
        const int64_t dataBytes = seconds * 44100 * 4;
        fs::resize_file(path, 44 + dataBytes);
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        const uint32_t riff = static_cast<uint32_t>(36 + dataBytes), data = static_cast<uint32_t>(dataBytes);
        f.seekp(4);
        f.write(reinterpret_cast<const char*>(&riff), 4);
        f.seekp(40);
        f.write(reinterpret_cast<const char*>(&data), 4);
    }
    auto peakKilobytes = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
        return 0L;
    };
    SoundFileReader reader;
    ASSERT_TRUE(reader.open(path)) << reader.error().message;
    std::vector<int16_t> block(220);
    int64_t total = 0;
    long early = 0;
    for (int32_t got; (got = reader.read(block.data(), 220)) > 0;) {
        total += got;
        if (total == 220 * 1000) early = peakKilobytes();
    }
    EXPECT_NEAR(static_cast<double>(total), static_cast<double>(seconds * 22050), 4.0);
    EXPECT_LT(peakKilobytes() - early, 1024) << "peak memory grew while reading";
}

}  // namespace
}  // namespace veldra
