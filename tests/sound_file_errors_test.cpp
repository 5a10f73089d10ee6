// Files the reader cannot read, and files it must read although they look odd: each gives
// the right problem and one line naming the file, from a path and from memory alike, and
// no input makes it crash or hang.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/sound_file.h"

namespace veldra {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

void put16(Bytes& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void putText(Bytes& b, const char* text) { b.insert(b.end(), text, text + std::strlen(text)); }

struct WavHeader {
    uint32_t formatTag = 1;
    uint32_t channels = 1;
    uint32_t rate = 22050;
    uint32_t bits = 16;
    uint32_t dataClaim = UINT32_MAX;  // UINT32_MAX: the size of the data given
    uint32_t riffClaim = UINT32_MAX;  // UINT32_MAX: the size of the whole file
};

// A canonical 44-byte-header WAV around the given data bytes.
Bytes wav(const WavHeader& h, const Bytes& data) {
    Bytes b;
    putText(b, "RIFF");
    put32(b, h.riffClaim != UINT32_MAX ? h.riffClaim : static_cast<uint32_t>(36 + data.size()));
    putText(b, "WAVEfmt ");
    put32(b, 16);
    put16(b, h.formatTag);
    put16(b, h.channels);
    put32(b, h.rate);
    put32(b, h.rate * h.channels * h.bits / 8);
    put16(b, h.channels * h.bits / 8);
    put16(b, h.bits);
    putText(b, "data");
    put32(b, h.dataClaim != UINT32_MAX ? h.dataClaim : static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes tone(size_t samples) {
    Bytes data;
    for (size_t i = 0; i < samples; ++i) put16(data, static_cast<uint16_t>(static_cast<int16_t>((i % 50) * 1000 - 25000)));
    return data;
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/veldra-errors-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string write(const std::string& name, const Bytes& bytes) const {
        const std::string path = file(name);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The message is one line that starts with the file's name and gives the reason.
void expectMessage(const SoundFileError& e, const std::string& name) {
    EXPECT_EQ(e.message.rfind(name + ": ", 0), 0u) << e.message;
    EXPECT_NE(e.message.find(soundFileProblemText(e.problem)), std::string::npos) << e.message;
    EXPECT_EQ(e.message.find('\n'), std::string::npos) << e.message;
}

struct BadCase {
    const char* name;
    Bytes bytes;
    SoundFileProblem problem;
};

Bytes randomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    Bytes b(n);
    for (auto& v : b) v = static_cast<unsigned char>(gen());
    return b;
}

std::vector<BadCase> unreadable() {
    const Bytes whole = wav({}, tone(1000));
    std::vector<BadCase> cases = {
        {"empty.wav", {}, SoundFileProblem::Empty},
        {"notes.txt", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}, SoundFileProblem::NotSoundFile},
        {"noise.wav", randomBytes(5000, 7), SoundFileProblem::NotSoundFile},
        {"silent.wav", wav({}, {}), SoundFileProblem::Empty},
        {"codec.wav", wav({.formatTag = 0x1234}, tone(1000)), SoundFileProblem::UnsupportedEncoding},
        {"rate1.wav", wav({.rate = 1}, tone(1000)), SoundFileProblem::UnsupportedRate},
        {"nochannels.wav", wav({.channels = 0}, tone(1000)), SoundFileProblem::Damaged},
        // The header claims sound but the file stops right after it.
        {"headeronly.wav", Bytes(whole.begin(), whole.begin() + 44), SoundFileProblem::Truncated},
    };
    // Cut off inside the header, at every kind of place: in the RIFF tag, in the format
    // chunk, in the data chunk's size.
    for (size_t cut : {2, 4, 12, 20, 30, 36, 40, 43})
        cases.push_back({"cut.wav", Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)), SoundFileProblem::Truncated});
    return cases;
}

TEST(SoundFileErrorsTest, UnreadableInputsSayWhyFromPathAndFromMemory) {
    TempDir dir;
    for (const BadCase& c : unreadable()) {
        SCOPED_TRACE(std::string(c.name) + " (" + std::to_string(c.bytes.size()) + " bytes)");
        const std::string path = dir.write(c.name, c.bytes);
        SoundFileReader reader;
        EXPECT_FALSE(reader.open(path));
        EXPECT_EQ(reader.error().problem, c.problem) << reader.error().message;
        expectMessage(reader.error(), path);
        EXPECT_FALSE(reader.isOpen());
        int16_t sample[4];
        EXPECT_EQ(reader.read(sample, 4), 0);

        EXPECT_FALSE(reader.openMemory(c.bytes.data(), c.bytes.size(), c.name));
        EXPECT_EQ(reader.error().problem, c.problem) << reader.error().message;
        expectMessage(reader.error(), c.name);
    }
}

TEST(SoundFileErrorsTest, PathsThatAreNoFiles) {
    TempDir dir;
    SoundFileReader reader;
    EXPECT_FALSE(reader.open(dir.file("nothing.wav")));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::Missing);
    expectMessage(reader.error(), dir.file("nothing.wav"));

    EXPECT_FALSE(reader.open(dir.file("nothing/below.wav")));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::Missing);

    fs::create_directory(dir.file("folder.wav"));
    EXPECT_FALSE(reader.open(dir.file("folder.wav")));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::Directory);
    expectMessage(reader.error(), dir.file("folder.wav"));

    // A FIFO with no writer would block a plain open; the reader refuses it at once.
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(reader.open(dir.file("pipe")));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::NotRegularFile);

    if (::geteuid() != 0) {  // root reads everything
        const std::string locked = dir.write("locked.wav", wav({}, tone(100)));
        fs::permissions(locked, fs::perms::none);
        EXPECT_FALSE(reader.open(locked));
        EXPECT_EQ(reader.error().problem, SoundFileProblem::NotReadable);
    }
}

TEST(SoundFileErrorsTest, AFailedOpenClosesWhatWasOpenBefore) {
    const Bytes good = wav({}, tone(1000));
    SoundFileReader reader;
    ASSERT_TRUE(reader.openMemory(good.data(), good.size(), "good.wav"));
    EXPECT_FALSE(reader.openMemory(good.data(), 10, "bad.wav"));
    EXPECT_FALSE(reader.isOpen());
    int16_t s[8];
    EXPECT_EQ(reader.read(s, 8), 0);
    // And a good open afterwards clears the error.
    ASSERT_TRUE(reader.openMemory(good.data(), good.size(), "good.wav"));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::None);
    EXPECT_TRUE(reader.error().message.empty());
    EXPECT_EQ(reader.read(s, 8), 8);
}

// Headers that lie about lengths: readable or not, the reader ends and gives no more
// samples than the file holds.
TEST(SoundFileErrorsTest, AbsurdLengthsNeitherCrashNorHang) {
    const Bytes data = tone(500);
    const std::vector<Bytes> files = {
        wav({.dataClaim = 0xFFFFFFFF - 1}, data),
        wav({.riffClaim = 0xFFFFFFFF - 1}, data),
        wav({.riffClaim = 4}, data),
        wav({.dataClaim = 0x7FFFFFFF}, data),
        wav({.channels = 65535}, data),
        wav({.rate = 0xFFFFFFFF}, data),
        wav({.bits = 0}, data),
        wav({.bits = 0xFFFF}, data),
    };
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        SoundFileReader reader;
        if (!reader.openMemory(files[i].data(), files[i].size(), "absurd.wav")) {
            expectMessage(reader.error(), "absurd.wav");
            continue;
        }
        std::vector<int16_t> block(220);
        int64_t total = 0;
        for (int32_t got; (got = reader.read(block.data(), 220)) > 0;) total += got;
        EXPECT_LE(total, 500);
    }
}

// A quick shake of the header: thousands of WAVs with a few bytes changed in their first
// 64. Under the sanitizers this catches any out-of-bounds read in the input path.
TEST(SoundFileErrorsTest, MangledHeadersAreHandled) {
    const Bytes original = wav({}, tone(300));
    std::mt19937 gen(20240611);
    for (int round = 0; round < 3000; ++round) {
        Bytes b = original;
        const int changes = 1 + static_cast<int>(gen() % 4);
        for (int k = 0; k < changes; ++k) b[gen() % 64] = static_cast<unsigned char>(gen());
        if (gen() % 4 == 0) b.resize(gen() % b.size());
        SoundFileReader reader;
        if (!reader.openMemory(b.data(), b.size(), "mangled.wav")) {
            ASSERT_NE(reader.error().problem, SoundFileProblem::None);
            ASSERT_EQ(reader.error().message.find('\n'), std::string::npos);
            continue;
        }
        std::vector<int16_t> block(220);
        int64_t total = 0;
        for (int32_t got; (got = reader.read(block.data(), 220)) > 0 && total < 10'000'000;) total += got;
        ASSERT_LT(total, 10'000'000) << "round " << round << " does not end";
    }
}

}  // namespace
}  // namespace veldra
