// The sounds the tuner reads besides the microphone: the sound file reader (its output
// and what it says about files it cannot read) and the built-in demo performance.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "platform/sound_files/demo_sound.h"
#include "platform/sound_files/sound_file.h"
#include "tests/support/scratch_files.h"

namespace veldra {
namespace {

// ---- The sound file reader's output: bit-exact pass-through from path and memory,
// clipping, NaN and infinities, channel mixing, resampling and other containers,
// rewinding.

std::vector<int16_t> readAll(SoundFileReader& reader, int32_t chunk) {
    std::vector<int16_t> out, buffer(chunk);
    for (int32_t got; (got = reader.read(buffer.data(), chunk)) > 0;)
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    return out;
}

std::vector<int16_t> readFile(const std::string& path) {
    SoundFileReader reader{22050};
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
        SoundFileReader reader{22050};
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
    writeSoundFile(
        path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1,
        {1000.0f / 32768, -0.5f, 1.5f, -2.0f, nan, inf, -inf, 3.9f / 32768, -3.9f / 32768});
    EXPECT_EQ(readFile(path),
              (std::vector<int16_t>{1000, -16384, 32767, -32768, 0, 32767, -32768, 3, -3}));
    // Stereo: the mean, truncated toward zero; a NaN channel is silence, an infinite one full
    // scale.
    writeSoundFile(
        path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 2,
        {1000.0f / 32768, -3000.0f / 32768, 1.0f / 32768, 2.0f / 32768, nan, 0.5f, inf, 0.0f});
    EXPECT_EQ(readFile(path), (std::vector<int16_t>{-1000, 1, 8192, 16384}));
    // Eight channels of 16-bit PCM holding 100, 200, ..., 800: the mean is 450.
    std::vector<float> eight;
    for (int i = 0; i < 8 * 300; ++i)
        eight.push_back(static_cast<float>(100 * (i % 8 + 1)) / 32768);
    writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 8, eight);
    EXPECT_EQ(readFile(path), std::vector<int16_t>(300, 450));
}

// A 196 Hz sine at half scale keeps its pitch, its length and its level at every rate and
// in every container (Vorbis, being lossy, within 5 % of the level).
TEST(SoundFileReaderTest, ConvertedSoundKeepsPitchLengthAndLevel) {
    const struct {
        int rate, channels, format;
    } cases[] = {{8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                 {44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
                 {48000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                 {192000, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                 {32000, 1, SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
                 {22050, 1, SF_FORMAT_OGG | SF_FORMAT_VORBIS}};
    ScratchFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, format " << std::hex << c.format);
        std::vector<float> frames;
        for (int i = 0; i < 3 * c.rate; ++i)
            frames.insert(frames.end(), c.channels,
                          static_cast<float>(0.5 * std::sin(2 * M_PI * 196.0 * i / c.rate)));
        const std::string path = folder.path("sound" + std::to_string(c.rate));
        writeSoundFile(path, c.format, c.rate, c.channels, frames);
        SoundFileReader reader{22050};
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
        EXPECT_NEAR(highest, 16384,
                    16384 * ((c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS ? 0.05 : 0.01));
    }
}

// ---- What the reader says about files it cannot read: the right problem and one line
// naming the file, the same from a path and from memory; and no absurd header crashes it.

void put(std::string& b, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + i] = static_cast<char>(value >> (8 * i));
}

// A canonical 44-byte-header PCM WAV with 1000 samples; sizes follow the data.
std::string wav(uint16_t formatTag = 1, uint16_t channels = 1, uint32_t rate = 22050) {
    std::string b = "RIFF....WAVEfmt ....................data....";
    for (int i = 0; i < 2000; ++i)
        b += static_cast<char>(i * 37);
    put(b, 4, 36 + 2000, 4), put(b, 16, 16, 4), put(b, 20, formatTag, 2), put(b, 22, channels, 2);
    put(b, 24, rate, 4), put(b, 28, rate * 2 * channels, 4), put(b, 32, 2 * channels, 2);
    put(b, 34, 16, 2), put(b, 40, 2000, 4);
    return b;
}

void expectMessage(const SoundFileError& e, const std::string& name) {
    EXPECT_EQ(e.message.rfind(name + ": " + soundFileProblemText(e.problem), 0), 0u) << e.message;
    EXPECT_EQ(e.message.find('\n'), std::string::npos) << e.message;
}

// (An empty file, a text file, random bytes, a missing file and a folder are tried through
// veldra-file itself in veldra_file_program_test, with the reason it prints.)
TEST(SoundFileErrorsTest, EachProblemFromPathAndFromMemory) {
    std::string silent = wav().substr(0, 44);  // a header that honestly says it holds no sound
    put(silent, 4, 36, 4), put(silent, 40, 0, 4);
    const std::pair<std::string, SoundFileProblem> cases[] = {
        {silent, SoundFileProblem::Empty},
        {wav(0x1234), SoundFileProblem::UnsupportedEncoding},
        {wav(1, 1, 1), SoundFileProblem::UnsupportedRate},
        {wav(1, 0), SoundFileProblem::Damaged},
        // Cut off in the RIFF tag, the format chunk, the data chunk's head, right after it.
        {wav().substr(0, 2), SoundFileProblem::Truncated},
        {wav().substr(0, 12), SoundFileProblem::Truncated},
        {wav().substr(0, 20), SoundFileProblem::Truncated},
        {wav().substr(0, 36), SoundFileProblem::Truncated},
        {wav().substr(0, 43), SoundFileProblem::Truncated},
        {wav().substr(0, 44), SoundFileProblem::Truncated},
    };
    ScratchFolder folder;
    const std::string path = folder.path("bad.wav");
    for (const auto& [bytes, problem] : cases) {
        SCOPED_TRACE(std::to_string(bytes.size()) + " bytes, expected " +
                     soundFileProblemText(problem));
        writeWholeFile(path, bytes);
        SoundFileReader reader{22050};
        EXPECT_FALSE(reader.open(path));
        EXPECT_EQ(reader.error().problem, problem) << reader.error().message;
        expectMessage(reader.error(), path);
        int16_t sample[4];
        EXPECT_EQ(reader.read(sample, 4), 0);
        EXPECT_FALSE(reader.openMemory(bytes.data(), bytes.size(), "in memory"));
        EXPECT_EQ(reader.error().problem, problem) << reader.error().message;
        expectMessage(reader.error(), "in memory");
    }
}

TEST(SoundFileErrorsTest, PathsThatAreNoFiles) {
    ScratchFolder folder;
    SoundFileReader reader{22050};
    EXPECT_FALSE(reader.open(folder.path("nothing/below.wav")));  // a missing folder
    EXPECT_EQ(reader.error().problem, SoundFileProblem::Missing);
    // A FIFO with no writer would block a plain open; the reader refuses it at once.
    ASSERT_EQ(::mkfifo(folder.path("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(reader.open(folder.path("pipe")));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::NotRegularFile);
    // A good open afterwards clears the error.
    const std::string good = wav();
    ASSERT_TRUE(reader.openMemory(good.data(), good.size(), "good.wav"));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::None);
    EXPECT_TRUE(reader.error().message.empty());
}

// Headers with absurd lengths: each either fails with a message or gives a sound that
// ends. (Randomly mangled files are the sound-file fuzz target's, with the sanitizers.)
TEST(SoundFileErrorsTest, AbsurdHeaderLengthsNeitherCrashNorHang) {
    // (offset, value, bytes): RIFF size, data size twice, format chunk size, rate, byte
    // rate, channel count.
    const std::tuple<size_t, uint32_t, int> absurd[] = {
        {4, 0xFFFFFFFF, 4},  {40, 0xFFFFFFFF, 4}, {40, 0x80000000, 4}, {16, 0xFFFFFFF0, 4},
        {24, 0xFFFFFFFF, 4}, {28, 0, 4},          {22, 0xFFFF, 2}};
    for (const auto& [at, value, bytes] : absurd) {
        std::string b = wav();
        put(b, at, value, bytes);
        SoundFileReader reader{22050};
        if (!reader.openMemory(b.data(), b.size(), "absurd.wav")) {
            EXPECT_NE(reader.error().problem, SoundFileProblem::None) << at;
            continue;
        }
        int16_t block[220];
        int64_t total = 0;
        for (int32_t got; (got = reader.read(block, 220)) > 0 && total < 10'000'000;)
            total += got;
        EXPECT_LT(total, 10'000'000) << at << " does not end";
    }
}

// ---- The demo performance as sound: plucks with harmonics that fade faster than the
// fundamental and stay loud enough for the tuner, silence around every note, an exact
// loop. (What the tuner reads from it is checked in veldra_file_test.)

// The demo as the tuner hears it, and one pass of it.
DemoSound demo(bool looping) {
    DemoSound sound;
    resetDemoSound(sound, 22050, looping);
    return sound;
}
const DemoSound performance = demo(false);

std::vector<int16_t> pull(bool looping, size_t count, size_t chunk) {
    DemoSound sound = demo(looping);
    std::vector<int16_t> samples(count);
    size_t at = 0;
    for (int32_t got = 1; got > 0 && at < count; at += static_cast<size_t>(got))
        got = pullDemoSound(sound, &samples[at], static_cast<int32_t>(std::min(chunk, count - at)));
    samples.resize(at);
    return samples;
}

// Strength of one frequency in 0.2 s from s (a single DFT bin).
double strength(const int16_t* s, double hz) {
    double re = 0, im = 0;
    for (size_t i = 0; i < 22050 / 5; ++i) {
        re += s[i] * std::cos(2 * M_PI * hz * i / 22050);
        im += s[i] * std::sin(2 * M_PI * hz * i / 22050);
    }
    return std::hypot(re, im) / (22050 / 5);
}

// Early in each pluck the second harmonic is strong, late it has faded more than the
// fundamental, which has decayed but still spans well above the tuner's level limit
// (an envelope span of 1310).
TEST(DemoSoundTest, PlucksHaveHarmonicsThatFadeFasterThanTheFundamental) {
    const std::vector<int16_t> samples = pull(false, performance.length, performance.length);
    for (const DemoPart& part : std::span(performance.parts).first(6)) {
        SCOPED_TRACE(part.note);
        const double hz = 32.7 * std::exp2(part.position - 1 + part.cents / 1200);
        const int16_t* early = &samples[part.start + 500];
        const int16_t* late = &samples[part.start + part.length - 22050 / 5 - 3000];
        const double ratioEarly = strength(early, 2 * hz) / strength(early, hz);
        EXPECT_GT(ratioEarly, 0.3) << "not a pure tone";
        EXPECT_LT(strength(late, 2 * hz) / strength(late, hz), ratioEarly / 2);
        EXPECT_LT(strength(late, hz), strength(early, hz) / 2) << "no decay";
        const auto [low, high] = std::minmax_element(late, late + 22050 / 5);
        EXPECT_GE(*high - *low, 2 * 1310);
    }
}

// At least 0.2 s of silence before every note and after the last; looping, pulled in
// chunks that do not divide the length, the same sound again.
TEST(DemoSoundTest, SilenceAroundEveryNoteAndAnExactLoop) {
    const std::vector<int16_t> once = pull(false, performance.length + 1000, 1 << 20);
    ASSERT_EQ(static_cast<int64_t>(once.size()), performance.length);
    const auto silent = [&](size_t from, size_t to) {
        return std::all_of(&once[from], &once[0] + to, [](int16_t v) { return v == 0; });
    };
    size_t from = 0;
    for (const DemoPart& part : performance.parts) {
        ASSERT_GE(static_cast<size_t>(part.start), from + 22050 / 5)
            << part.note << ": a gap under 0.2 s";
        EXPECT_TRUE(silent(from, part.start)) << part.note;
        from = static_cast<size_t>(part.start + part.length);
    }
    EXPECT_TRUE(silent(from, once.size()));
    const std::vector<int16_t> looped = pull(true, once.size() * 2 + 5000, 997);
    ASSERT_EQ(looped.size(), once.size() * 2 + 5000);
    for (size_t i = 0; i < looped.size(); ++i)
        ASSERT_EQ(looped[i], once[i % once.size()]) << i;
}

}  // namespace
}  // namespace veldra
