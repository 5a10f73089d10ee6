// The sound file reader's output: bit-exact pass-through from path and memory, clipping,
// NaN and infinities, channel mixing, resampling and other containers, rewinding.
#include "platform/sound_file.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "tests/support/scratch_files.h"

namespace veldra {
namespace {

std::vector<int16_t> readAll(SoundFileReader& reader, int32_t chunk) {
    std::vector<int16_t> out, buffer(chunk);
    for (int32_t got; (got = reader.read(buffer.data(), chunk)) > 0;)
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    return out;
}

std::vector<int16_t> readFile(const std::string& path) {
    SoundFileReader reader;
    EXPECT_TRUE(reader.open(path)) << reader.error().message;
    return readAll(reader, 220);
}

TEST(SoundFileReaderTest, TunersOwnFormatPassesThroughBitForBitFromPathAndMemory) {
    for (const char* name : {"viola_C3", "elec_guitar_six_strings"}) {
        SCOPED_TRACE(name);
        const std::string path = testDataPath(std::string(name) + ".wav");
        // The recordings have the canonical 44-byte header: the samples follow it.
        const std::string bytes = readWholeFile(path);
        ASSERT_EQ(bytes.substr(36, 4), "data");
        std::vector<int16_t> expected((bytes.size() - 44) / 2);
        std::memcpy(expected.data(), bytes.data() + 44, expected.size() * 2);
        SoundFileReader reader;
        ASSERT_TRUE(reader.open(path)) << reader.error().message;
        EXPECT_TRUE(reader.format().passThrough);
        EXPECT_EQ(readAll(reader, 997), expected);
        ASSERT_TRUE(reader.openMemory(bytes.data(), bytes.size(), name));
        std::vector<int16_t> part(700);
        ASSERT_EQ(reader.read(part.data(), 700), 700);
        ASSERT_TRUE(reader.rewind());  // part way: the sound starts again from its first sample
        EXPECT_EQ(readAll(reader, 1), expected);
    }
}

TEST(SoundFileReaderTest, ValuesScaleClipAndNaNIsSilence) {
    ScratchFolder folder;
    const std::string path = folder.path("sound.wav");
    const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
    writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1,
                   {1000.0f / 32768, -0.5f, 1.5f, -2.0f, nan, inf, -inf, 3.9f / 32768, -3.9f / 32768});
    EXPECT_EQ(readFile(path), (std::vector<int16_t>{1000, -16384, 32767, -32768, 0, 32767, -32768, 3, -3}));
    // Stereo: the mean, truncated toward zero; a NaN channel is silence, an infinite one full scale.
    writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 2,
                   {1000.0f / 32768, -3000.0f / 32768, 1.0f / 32768, 2.0f / 32768, nan, 0.5f, inf, 0.0f});
    EXPECT_EQ(readFile(path), (std::vector<int16_t>{-1000, 1, 8192, 16384}));
    // Eight channels of 16-bit PCM holding 100, 200, ..., 800: the mean is 450.
    std::vector<float> eight;
    for (int i = 0; i < 8 * 300; ++i) eight.push_back(static_cast<float>(100 * (i % 8 + 1)) / 32768);
    writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 8, eight);
    EXPECT_EQ(readFile(path), std::vector<int16_t>(300, 450));
}

// A 196 Hz sine at half scale keeps its pitch, its length and its level at every rate and
// in every container (Vorbis, being lossy, within 5 % of the level).
TEST(SoundFileReaderTest, ConvertedSoundKeepsPitchLengthAndLevel) {
    const struct {
        int rate, channels, format;
    } cases[] = {{8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16},   {44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
                 {48000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16}, {192000, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                 {32000, 1, SF_FORMAT_AIFF | SF_FORMAT_PCM_16}, {22050, 1, SF_FORMAT_OGG | SF_FORMAT_VORBIS}};
    ScratchFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, format " << std::hex << c.format);
        std::vector<float> frames;
        for (int i = 0; i < 3 * c.rate; ++i)
            frames.insert(frames.end(), c.channels, static_cast<float>(0.5 * std::sin(2 * M_PI * 196.0 * i / c.rate)));
        const std::string path = folder.path("sound" + std::to_string(c.rate));
        writeSoundFile(path, c.format, c.rate, c.channels, frames);
        SoundFileReader reader;
        ASSERT_TRUE(reader.open(path)) << reader.error().message;
        std::vector<int16_t> head(3000);
        ASSERT_EQ(reader.read(head.data(), 3000), 3000);
        ASSERT_TRUE(reader.rewind());  // the resampler starts afresh too
        const std::vector<int16_t> out = readAll(reader, 220);
        EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 3000), head);
        EXPECT_NEAR(static_cast<double>(out.size()), 3 * 22050, 3.0);
        // Rising zero crossings over the middle half, interpolated.
        double first = -1, last = 0;
        int cycles = -1;
        int16_t highest = 0;
        for (size_t i = out.size() / 4; i < 3 * out.size() / 4; ++i) {
            highest = std::max(highest, out[i]);
            if (out[i] < 0 && out[i + 1] >= 0) {
                last = i + static_cast<double>(-out[i]) / (out[i + 1] - out[i]);
                if (first < 0) first = last;
                ++cycles;
            }
        }
        EXPECT_NEAR(22050 * cycles / (last - first), 196.0, 0.02);
        EXPECT_NEAR(highest, 16384, 16384 * ((c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS ? 0.05 : 0.01));
    }
}

}  // namespace
}  // namespace veldra
