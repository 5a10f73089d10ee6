// What the reader says about files it cannot read: the right problem and one line naming
// the file, the same from a path and from memory; and no mangled header crashes it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/sound_file.h"
#include "tests/support/scratch_files.h"

namespace veldra {
namespace {

void put(std::string& b, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<char>(value >> (8 * i));
}

// A canonical 44-byte-header PCM WAV with 1000 samples; sizes follow the data.
std::string wav(uint16_t formatTag = 1, uint16_t channels = 1, uint32_t rate = 22050) {
    std::string b = "RIFF....WAVEfmt ....................data....";
    for (int i = 0; i < 2000; ++i) b += static_cast<char>(i * 37);
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
        {wav().substr(0, 2), SoundFileProblem::Truncated},  {wav().substr(0, 12), SoundFileProblem::Truncated},
        {wav().substr(0, 20), SoundFileProblem::Truncated}, {wav().substr(0, 36), SoundFileProblem::Truncated},
        {wav().substr(0, 43), SoundFileProblem::Truncated}, {wav().substr(0, 44), SoundFileProblem::Truncated},
    };
    ScratchFolder folder;
    const std::string path = folder.path("bad.wav");
    for (const auto& [bytes, problem] : cases) {
        SCOPED_TRACE(std::to_string(bytes.size()) + " bytes, expected " + soundFileProblemText(problem));
        writeWholeFile(path, bytes);
        SoundFileReader reader;
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
    SoundFileReader reader;
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
        SoundFileReader reader;
        if (!reader.openMemory(b.data(), b.size(), "absurd.wav")) {
            EXPECT_NE(reader.error().problem, SoundFileProblem::None) << at;
            continue;
        }
        int16_t block[220];
        int64_t total = 0;
        for (int32_t got; (got = reader.read(block, 220)) > 0 && total < 10'000'000;) total += got;
        EXPECT_LT(total, 10'000'000) << at << " does not end";
    }
}

}  // namespace
}  // namespace veldra
