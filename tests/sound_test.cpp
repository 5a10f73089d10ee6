// The sound file reader: its output, and what it says about files it cannot read. (The
// built-in demo performance as the tuner reads it: veldra_file_program_test.)
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/sound_files/sound_file.h"
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
    SoundFileReader reader{22050};
    EXPECT_TRUE(reader.open(path)) << reader.error().message;
    return readAll(reader, 220);
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
    // Stereo: the mean, truncated toward zero; NaN is silence, infinity full scale.
    writeSoundFile(
        path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 2,
        {1000.0f / 32768, -3000.0f / 32768, 1.0f / 32768, 2.0f / 32768, nan, 0.5f, inf, 0.0f});
    EXPECT_EQ(readFile(path), (std::vector<int16_t>{-1000, 1, 8192, 16384}));
    // 16-bit stereo, mixed from the integers (libsndfile writes v * 32767, rounded).
    writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2,
                   {1000.0f / 32767, -3000.0f / 32767, 1.0f / 32767, 2.0f / 32767, 1.0f, 1.0f,
                    -1.0f, -32766.0f / 32767});
    EXPECT_EQ(readFile(path), (std::vector<int16_t>{-1000, 1, 32767, -32766}));
}

// A 196 Hz sine at half scale keeps its pitch, its length and its level at every rate and
// in every container (Vorbis, being lossy, within 5 % of the level).
TEST(SoundFileReaderTest, ConvertedSoundKeepsPitchLengthAndLevel) {
    const struct {
        int rate, channels, format;
    } cases[] = {{8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                 {44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
                 {192000, 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
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
        const std::vector<int16_t> out = readAll(reader, 220);
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

// ---- Cut and damaged compressed files, one rule for every format: a file cut short is
// read to its end with a warning; damage inside ends the reading there, "damaged at X s".

void expectMessage(const SoundFileError& e, const std::string& name) {
    EXPECT_EQ(e.message.rfind(name + ": " + soundFileProblemText(e.problem), 0), 0u) << e.message;
    EXPECT_EQ(e.message.find('\n'), std::string::npos) << e.message;
}

struct Coded {
    const char* name;
    int format, rate;
};
const Coded codedFormats[] = {
    {"FLAC at the tuner's rate (passed through)", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050},
    {"FLAC at 44.1 kHz (converted)", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100},
    {"Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100},
    {"Ogg Opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000},
    {"MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100},
};
constexpr double codedSeconds = 20.0;

// A 20 s tone whose level wanders, so that every coded frame differs.
std::string codedFile(const ScratchFolder& folder, const Coded& coded) {
    std::vector<float> frames(static_cast<size_t>(codedSeconds * coded.rate));
    for (size_t i = 0; i < frames.size(); ++i) {
        const double t = static_cast<double>(i) / coded.rate;
        frames[i] =
            static_cast<float>((0.3 + 0.2 * std::sin(1.3 * t)) * std::sin(2 * M_PI * 196 * t));
    }
    writeSoundFile(folder.path("whole"), coded.format, coded.rate, 1, frames);
    return readWholeFile(folder.path("whole"));
}

struct Reading {
    double seconds = 0;  // of sound delivered
    SoundFileError error;
    std::string warning;
};

Reading readBytes(const std::string& bytes) {
    SoundFileReader reader{22050};
    Reading r;
    if (!reader.openMemory(bytes.data(), bytes.size(), "take")) {
        r.error = reader.error();
        return r;
    }
    r.seconds = static_cast<double>(readAll(reader, 220).size()) / 22050;
    r.error = reader.error();
    r.warning = reader.warning();
    return r;
}

// Where "damaged at X s" places the damage.
double damagedAt(const std::string& message) {
    const size_t at = message.find("damaged at ");
    return at == std::string::npos ? -1 : std::stod(message.substr(at + 11));
}

TEST(SoundFileDamageTest, AFileCutShortIsReadToItsEndWithAWarning) {
    ScratchFolder folder;
    for (const Coded& coded : codedFormats) {
        SCOPED_TRACE(coded.name);
        const std::string whole = codedFile(folder, coded);
        const Reading r = readBytes(whole.substr(0, whole.size() / 2));
        EXPECT_EQ(r.error.problem, SoundFileProblem::None) << r.error.message;
        // Half the bytes hold about half the sound; a decoder may drop its last page.
        EXPECT_GT(r.seconds, 0.3 * codedSeconds);
        EXPECT_LT(r.seconds, 0.7 * codedSeconds);
        EXPECT_EQ(r.warning.rfind("take: ", 0), 0u) << r.warning;
        EXPECT_TRUE(r.warning.find("shorter than its header says") != std::string::npos ||
                    r.warning.find("cut short") != std::string::npos)
            << r.warning;
    }
}

// One byte changed a third of the way in: libFLAC loses sync, Ogg's page checksum fails.
// The reading stops there, nothing after it delivered (a FLAC frame lost is not silence).
TEST(SoundFileDamageTest, DamageInsideEndsTheReadingWhereItIs) {
    ScratchFolder folder;
    for (const Coded& coded : codedFormats) {
        if ((coded.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) continue;  // below
        SCOPED_TRACE(coded.name);
        std::string bytes = codedFile(folder, coded);
        bytes[bytes.size() / 3] ^= 0x10;
        const Reading r = readBytes(bytes);
        EXPECT_EQ(r.error.problem, SoundFileProblem::DamagedSound) << r.error.message;
        expectMessage(r.error, "take");
        const double at = damagedAt(r.error.message);
        EXPECT_GT(at, 0.1 * codedSeconds) << r.error.message;  // a header comes first
        EXPECT_LT(at, 0.5 * codedSeconds) << r.error.message;
        EXPECT_LE(r.seconds, at + 0.2);
        EXPECT_TRUE(r.warning.empty()) << r.warning;
    }
}

// MPEG as far as libmpg123 tells: a bad frame head (a resync noted, or an early stop) is
// damage; a bit flipped in the coded sound it cannot see.
TEST(SoundFileDamageTest, Mp3DamageAsFarAsTheDecoderTellsIt) {
    ScratchFolder folder;
    const std::string whole = codedFile(folder, codedFormats[4]);
    const size_t head = whole.find("\xff\xfb", whole.size() / 3);
    ASSERT_NE(head, std::string::npos);
    std::string noSync = whole, otherLayer = whole, inSound = whole;
    noSync[head] = 0;              // no frame starts here: "Illegal Audio-MPEG-Header", resync
    otherLayer[head + 1] ^= 0x0F;  // a head of another layer and version: the decoder stops
    inSound[head + 100] ^= 0x10;
    holdDecoderMessages(true);
    const Reading resynced = readBytes(noSync), stopped = readBytes(otherLayer),
                  unseen = readBytes(inSound);
    holdDecoderMessages(false);
    for (const Reading* r : {&resynced, &stopped}) {
        EXPECT_EQ(r->error.problem, SoundFileProblem::DamagedSound) << r->error.message;
        EXPECT_NEAR(damagedAt(r->error.message), codedSeconds / 3, 1.0) << r->error.message;
    }
    EXPECT_NE(resynced.error.message.find("libmpg123: "), std::string::npos);
    EXPECT_EQ(unseen.error.problem, SoundFileProblem::None) << unseen.error.message;
    EXPECT_NEAR(unseen.seconds, codedSeconds, 0.1);
}

// ---- Files it cannot read: the right problem and one line naming the file, from a path
// and from memory alike. (Mangled headers: the sound-file fuzz target.)

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

// (Empty, text, cut, missing files and folders: veldra_file_program_test.)
TEST(SoundFileErrorsTest, EachProblemFromPathAndFromMemory) {
    const std::pair<std::string, SoundFileProblem> cases[] = {
        {wav(0x1234), SoundFileProblem::UnsupportedEncoding},
        {wav(1, 1, 1), SoundFileProblem::UnsupportedRate},
        {wav(1, 0), SoundFileProblem::Damaged},
        // Cut off in the RIFF tag, right after the data chunk's head.
        {wav().substr(0, 2), SoundFileProblem::Truncated},
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

// A FIFO with no writer would block a plain open; the reader refuses it at once.
TEST(SoundFileErrorsTest, AFifoIsRefusedAtOnceAndAGoodOpenClearsTheError) {
    ScratchFolder folder;
    SoundFileReader reader{22050};
    ASSERT_EQ(::mkfifo(folder.path("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(reader.open(folder.path("pipe")));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::NotRegularFile);
    const std::string good = wav();
    ASSERT_TRUE(reader.openMemory(good.data(), good.size(), "good.wav"));
    EXPECT_EQ(reader.error().problem, SoundFileProblem::None);
    EXPECT_TRUE(reader.error().message.empty());
}

}  // namespace
}  // namespace veldra
