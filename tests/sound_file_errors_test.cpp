// What the reader says about files it cannot read: the right problem and one line naming
// the file, the same from a path and from memory; and no mangled header crashes it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "platform/sound_file.h"

namespace veldra {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

// A canonical 44-byte-header PCM WAV with 1000 samples; sizes follow the data.
Bytes wav(uint16_t formatTag = 1, uint16_t channels = 1, uint32_t rate = 22050) {
    Bytes b(44 + 2000, 0);
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    std::memcpy(&b[0], "RIFF", 4), put(4, 36 + 2000, 4), std::memcpy(&b[8], "WAVEfmt ", 8), put(16, 16, 4);
    put(20, formatTag, 2), put(22, channels, 2), put(24, rate, 4), put(28, rate * 2 * channels, 4);
    put(32, 2 * channels, 2), put(34, 16, 2), std::memcpy(&b[36], "data", 4), put(40, 2000, 4);
    for (size_t i = 44; i < b.size(); ++i) b[i] = static_cast<unsigned char>(i * 37);
    return b;
}

Bytes cut(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + static_cast<long>(n)); }

void expectMessage(const SoundFileError& e, const std::string& name) {
    EXPECT_EQ(e.message.rfind(name + ": " + soundFileProblemText(e.problem), 0), 0u) << e.message;
    EXPECT_EQ(e.message.find('\n'), std::string::npos) << e.message;
}

TEST(SoundFileErrorsTest, EachProblemFromPathAndFromMemory) {
    Bytes silent = cut(wav(), 44);  // a header that honestly says it holds no sound
    silent[4] = 36, silent[5] = 0, silent[40] = 0, silent[41] = 0;
    Bytes noise(5000);
    std::mt19937 gen(7);
    for (auto& v : noise) v = static_cast<unsigned char>(gen());
    const struct {
        Bytes bytes;
        SoundFileProblem problem;
    } cases[] = {
        {{}, SoundFileProblem::Empty},
        {silent, SoundFileProblem::Empty},
        {Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, SoundFileProblem::NotSoundFile},
        {noise, SoundFileProblem::NotSoundFile},
        {wav(0x1234), SoundFileProblem::UnsupportedEncoding},
        {wav(1, 1, 1), SoundFileProblem::UnsupportedRate},
        {wav(1, 0), SoundFileProblem::Damaged},
        // Cut off in the RIFF tag, the format chunk, the data chunk's head, right after it.
        {cut(wav(), 2), SoundFileProblem::Truncated},  {cut(wav(), 12), SoundFileProblem::Truncated},
        {cut(wav(), 20), SoundFileProblem::Truncated}, {cut(wav(), 36), SoundFileProblem::Truncated},
        {cut(wav(), 43), SoundFileProblem::Truncated}, {cut(wav(), 44), SoundFileProblem::Truncated},
    };
    const std::string path = fs::temp_directory_path() / ("veldra-errors-" + std::to_string(::getpid()) + ".wav");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes.size()) + " bytes, expected " + soundFileProblemText(c.problem));
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<long>(c.bytes.size()));
        SoundFileReader reader;
        EXPECT_FALSE(reader.open(path));
        EXPECT_EQ(reader.error().problem, c.problem) << reader.error().message;
        expectMessage(reader.error(), path);
        int16_t sample[4];
        EXPECT_EQ(reader.read(sample, 4), 0);
        EXPECT_FALSE(reader.openMemory(c.bytes.data(), c.bytes.size(), "in memory"));
        EXPECT_EQ(reader.error().problem, c.problem) << reader.error().message;
        expectMessage(reader.error(), "in memory");
    }
    fs::remove(path);
}

TEST(SoundFileErrorsTest, PathsThatAreNoFiles) {
    const std::string dir = fs::temp_directory_path() / ("veldra-paths-" + std::to_string(::getpid()));
    fs::create_directory(dir);
    SoundFileReader reader;
    EXPECT_FALSE(reader.open(dir + "/nothing/below.wav"));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::Missing);
    EXPECT_FALSE(reader.open(dir));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::Directory);
    expectMessage(reader.error(), dir);
    // A FIFO with no writer would block a plain open; the reader refuses it at once.
    ASSERT_EQ(::mkfifo((dir + "/pipe").c_str(), 0600), 0);
    EXPECT_FALSE(reader.open(dir + "/pipe"));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::NotRegularFile);
    fs::remove_all(dir);
    // A good open afterwards clears the error.
    const Bytes good = wav();
    ASSERT_TRUE(reader.openMemory(good.data(), good.size(), "good.wav"));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::None);
    EXPECT_TRUE(reader.error().message.empty());
}

// Headers with absurd lengths, then thousands of WAVs with a few header bytes changed or
// their end cut off: each either fails with a message or gives a finite sound. Under the
// sanitizers this also catches any out-of-bounds access in the input path.
TEST(SoundFileErrorsTest, MangledHeadersNeitherCrashNorHang) {
    const Bytes original = wav();
    // (offset, little-endian value): RIFF size, data size twice, format chunk size, rate,
    // byte rate, channel count.
    const std::pair<size_t, uint32_t> absurd[] = {{4, 0xFFFFFFFF}, {40, 0xFFFFFFFF}, {40, 0x80000000},
                                                  {16, 0xFFFFFFF0}, {24, 0xFFFFFFFF}, {28, 0}, {22, 0xFFFF}};
    std::mt19937 gen(20240611);
    for (int round = 0; round < 3000; ++round) {
        Bytes b = original;
        if (round < 7) {
            for (int i = 0; i < (round == 6 ? 2 : 4); ++i) b[absurd[round].first + i] = static_cast<unsigned char>(absurd[round].second >> (8 * i));
        } else {
            for (int k = 0, n = 1 + static_cast<int>(gen() % 4); k < n; ++k) b[gen() % 64] = static_cast<unsigned char>(gen());
            if (gen() % 4 == 0) b.resize(gen() % b.size());
        }
        SoundFileReader reader;
        if (!reader.openMemory(b.data(), b.size(), "mangled.wav")) {
            ASSERT_NE(reader.error().problem, SoundFileProblem::None) << "round " << round;
            continue;
        }
        int16_t block[220];
        int64_t total = 0;
        for (int32_t got; (got = reader.read(block, 220)) > 0 && total < 10'000'000;) total += got;
        ASSERT_LT(total, 10'000'000) << "round " << round << " does not end";
    }
}

}  // namespace
}  // namespace veldra
