// The veldra-file program itself: exit codes, the one stderr line, unreadable and odd
// inputs, the pictures it writes (and leaves behind on failure), and a three-hour file in
// constant memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/recordings.h"

namespace veldra {
namespace {

namespace fs = std::filesystem;

fs::path programPath() {
    // build/<tree>/tests/this_test -> build/<tree>/tools/veldra-file/veldra-file
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tools" / "veldra-file" / "veldra-file";
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/veldra-file-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name, const std::vector<unsigned char>& bytes) const {
        std::ofstream(file(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return file(name);
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
        return names;
    }

private:
    std::string path_;
};

struct Result {
    int exitCode = -1;      // -1 when killed by a signal
    bool timedOut = false;
    std::string out, err;
    long peakKilobytes = 0;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Runs the program with args; its output goes through files so that nothing can block.
Result run(const std::vector<std::string>& args, int timeoutSeconds = 60) {
    TempDir io;
    const std::string outPath = io.file("out"), errPath = io.file("err");
    const std::string program = programPath().string();
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    Result r;
    int status = 0;
    struct rusage usage {};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            r.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    r.out = slurp(outPath);
    r.err = slurp(errPath);
    r.peakKilobytes = usage.ru_maxrss;
    return r;
}

// One line on stderr, naming what it is about.
void expectOneErrorLine(const Result& r, const std::string& naming) {
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.err.rfind("veldra-file: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(naming), std::string::npos) << r.err;
}

// ---- sound files for the tests --------------------------------------------------------

void writeSound(const std::string& path, int format, int rate, int channels, const std::vector<float>& frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_FALSE);
    sf_writef_float(f, frames.data(), static_cast<sf_count_t>(frames.size() / channels));
    sf_close(f);
}

// A plucked-string-like tone: the fundamental and two harmonics, decaying.
std::vector<float> pluckedTone(double hz, int rate, int channels, double seconds) {
    std::vector<float> frames;
    for (int i = 0; i < static_cast<int>(rate * seconds); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double v = 0.6 * std::exp(-t / 1.5) *
                         (std::sin(2 * M_PI * hz * t) + 0.4 * std::sin(4 * M_PI * hz * t) + 0.2 * std::sin(6 * M_PI * hz * t)) / 1.6;
        for (int c = 0; c < channels; ++c) frames.push_back(static_cast<float>(v));
    }
    return frames;
}

// The note most of the stable table lines name (a crude reading of the table).
std::string mostCommonNote(const std::string& table) {
    std::map<std::string, int> counts;
    std::istringstream in(table);
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 22 || line.find("Hz") == std::string::npos) continue;
        counts[line.substr(17, 3)]++;
    }
    std::string best;
    for (const auto& [note, n] : counts)
        if (best.empty() || n > counts[best]) best = note;
    return best;
}

std::vector<unsigned char> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), {});
}

// ---- command line ----------------------------------------------------------------------

TEST(VeldraFileProgramTest, HelpVersionAndUsageErrors) {
    Result help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: veldra-file"), std::string::npos);
    EXPECT_EQ(help.err, "");
    Result version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("veldra-file ", 0), 0u);

    const std::string wav = testing::dataPath("viola_C3.wav");
    const std::vector<std::vector<std::string>> mistakes = {
        {},
        {"--mode", "banjo", wav},
        {"--mode"},
        {"--at", "2", wav},
        {"--png", "x.png", "--at", "soon", wav},
        {"--png", "x.png", "--at", "-1", wav},
        {"--frobnicate", wav},
        {"--csv=yes", wav},
        {"--demo", wav},
        {wav, wav},
    };
    for (const auto& args : mistakes) {
        std::string line;
        for (const auto& a : args) line += a + " ";
        SCOPED_TRACE(line);
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        expectOneErrorLine(r, "veldra-file");
    }
}

// ---- bad input -------------------------------------------------------------------------

TEST(VeldraFileProgramTest, UnreadableInputsExitOneAndLeaveNoPicture) {
    TempDir dir;
    std::mt19937 gen(99);
    std::vector<unsigned char> noise(20000);
    for (auto& b : noise) b = static_cast<unsigned char>(gen());
    const std::vector<unsigned char> wav = bytesOf(testing::dataPath("viola_C3.wav"));
    fs::create_directory(dir.file("folder.wav"));
    struct Case {
        std::string path, reason;
    };
    const std::vector<Case> cases = {
        {dir.file("missing.wav"), "no such file"},
        {dir.file("folder.wav"), "is a directory"},
        {dir.write("empty.wav", {}), "empty"},
        {dir.write("readme.txt", {'J', 'u', 's', 't', ' ', 't', 'e', 'x', 't', '.', '\n'}), "not a sound file"},
        {dir.write("noise.wav", noise), "not a sound file"},
        {dir.write("cut.wav", std::vector<unsigned char>(wav.begin(), wav.begin() + 30)), "truncated"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string png = dir.file("out.png");
        const Result r = run({"--png", png, "--frames", dir.file("frames"), c.path});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        expectOneErrorLine(r, c.path + ": " + c.reason);
        EXPECT_FALSE(fs::exists(png));
        // No temporary picture either, and no frames folder made for nothing.
        for (const std::string& name : dir.entries()) EXPECT_EQ(name.find(".png"), std::string::npos) << name;
        EXPECT_FALSE(fs::exists(dir.file("frames")));
    }
}

TEST(VeldraFileProgramTest, OddButReadableInputsAreTuned) {
    TempDir dir;
    const std::vector<unsigned char> viola = bytesOf(testing::dataPath("viola_C3.wav"));
    // The header still claims all of the data; only the first 1.5 s are there.
    const std::string cut = dir.write("claims_more.wav", std::vector<unsigned char>(viola.begin(), viola.begin() + 44 + 2 * 33075));
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    // A burst of infinities (clipped to full scale), a stretch of NaN (silence), the tone.
    std::vector<float> wild = pluckedTone(196.0, 22050, 1, 2.0);
    for (size_t i = 0; i < 200; ++i) wild[i] = i % 2 ? inf : -inf;
    for (size_t i = 200; i < 3000; ++i) wild[i] = nan;
    writeSound(dir.file("nan_inf.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1, wild);
    writeSound(dir.file("eight.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 8, pluckedTone(196.0, 48000, 8, 2.0));
    writeSound(dir.file("low_rate.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, pluckedTone(196.0, 8000, 1, 2.0));
    writeSound(dir.file("high_rate.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 192000, 2, pluckedTone(196.0, 192000, 2, 2.0));
    writeSound(dir.file("tone.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1, pluckedTone(196.0, 44100, 1, 2.0));

    const struct {
        std::string path, note;
    } cases[] = {
        {cut, "C 3"},
        {dir.file("nan_inf.wav"), "G 3"},
        {dir.file("eight.wav"), "G 3"},
        {dir.file("low_rate.wav"), "G 3"},
        {dir.file("high_rate.wav"), "G 3"},
        {dir.file("tone.flac"), "G 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const Result r = run({c.path});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(mostCommonNote(r.out), c.note) << r.out;
    }
}

// Lengths that make no sense: tuned or refused, but never a crash or a hang.
TEST(VeldraFileProgramTest, AbsurdHeaderLengthsNeitherCrashNorHang) {
    TempDir dir;
    std::vector<unsigned char> wav = bytesOf(testing::dataPath("harp_E3_minus12c.wav"));
    wav.resize(44 + 22050 * 2);
    auto patched = [&](size_t at, uint32_t value) {
        std::vector<unsigned char> b = wav;
        std::memcpy(&b[at], &value, 4);
        return b;
    };
    const std::vector<std::vector<unsigned char>> files = {
        patched(4, 0xFFFFFFFF), patched(40, 0xFFFFFFFF), patched(40, 0x80000000), patched(16, 0xFFFFFFF0),
        patched(24, 0xFFFFFFFF), patched(28, 0),
    };
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string path = dir.write("absurd" + std::to_string(i) + ".wav", files[i]);
        const Result r = run({"--csv", path}, 30);
        EXPECT_FALSE(r.timedOut);
        ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 1) << "exit " << r.exitCode << ": " << r.err;
        if (r.exitCode == 1) expectOneErrorLine(r, path);
        // No more refreshes than a second of sound has.
        EXPECT_LE(std::count(r.out.begin(), r.out.end(), '\n'), 11);
    }
}

// ---- pictures --------------------------------------------------------------------------

// The width and height a PNG file declares.
std::pair<uint32_t, uint32_t> pngSize(const std::string& path) {
    const std::vector<unsigned char> b = bytesOf(path);
    if (b.size() < 24 || std::memcmp(b.data() + 1, "PNG", 3) != 0) return {0, 0};
    auto be32 = [&](size_t at) { return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3]; };
    return {be32(16), be32(20)};
}

TEST(VeldraFileProgramTest, PicturesAtTheEndAtAMomentAndAtEveryRefresh) {
    TempDir dir;
    const std::string wav = testing::dataPath("elec_guitar_D3_plus7c.wav");
    const Result r = run({"--csv", "--png", dir.file("end.png"), "--frames", dir.file("frames"), wav});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(pngSize(dir.file("end.png")), std::make_pair(240u, 320u));
    const long refreshes = std::count(r.out.begin(), r.out.end(), '\n') - 1;
    ASSERT_GT(refreshes, 20);
    std::vector<std::string> frames;
    for (const auto& e : fs::directory_iterator(dir.file("frames"))) frames.push_back(e.path().filename().string());
    std::sort(frames.begin(), frames.end());
    ASSERT_EQ(static_cast<long>(frames.size()), refreshes);
    EXPECT_EQ(frames.front(), "frame-000001.png");
    // The last frame is the screen at the end; nothing changes it after the last refresh.
    EXPECT_EQ(bytesOf(dir.file("frames/" + frames.back())), bytesOf(dir.file("end.png")));

    // --at 1.0: block 101 is the first to reach one second; the last refresh up to it is
    // at block 101 itself (11, 21, ..., 101), the 10th.
    const Result at = run({"--png", dir.file("at.png"), "--at", "1.0", wav});
    ASSERT_EQ(at.exitCode, 0) << at.err;
    EXPECT_EQ(bytesOf(dir.file("at.png")), bytesOf(dir.file("frames/frame-000010.png")));
    EXPECT_NE(bytesOf(dir.file("at.png")), bytesOf(dir.file("end.png")));

    // Beyond the end: an error, and no picture.
    const Result late = run({"--png", dir.file("late.png"), "--at", "3600", wav});
    EXPECT_EQ(late.exitCode, 1);
    expectOneErrorLine(late, "--at 3600");
    EXPECT_FALSE(fs::exists(dir.file("late.png")));

    // A picture that cannot go where it is asked to: checked before the run.
    const Result nowhere = run({"--png", dir.file("no/such/folder/x.png"), wav});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_EQ(nowhere.out, "");
    expectOneErrorLine(nowhere, "no/such/folder/x.png");
}

// ---- length ----------------------------------------------------------------------------

// Three hours of 22050 Hz mono sound, most of it silence stored sparse, tuned in constant
// memory. Skipped under the sanitizers, whose shadow memory and slowness make the figure
// meaningless.
TEST(VeldraFileProgramTest, ThreeHourFileIsStreamedInConstantMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "peak memory is not measured under a sanitizer";
#endif
    TempDir dir;
    const std::string path = dir.file("three_hours.wav");
    writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, pluckedTone(110.0, 22050, 1, 3.0));
    const int64_t dataBytes = int64_t{3} * 3600 * 22050 * 2;
    fs::resize_file(path, 44 + static_cast<uintmax_t>(dataBytes));
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        const uint32_t riff = static_cast<uint32_t>(36 + dataBytes), data = static_cast<uint32_t>(dataBytes);
        f.seekp(4);
        f.write(reinterpret_cast<const char*>(&riff), 4);
        f.seekp(40);
        f.write(reinterpret_cast<const char*>(&data), 4);
    }
    const Result r = run({"--csv", "--png", dir.file("end.png"), path}, 300);
    ASSERT_FALSE(r.timedOut);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // One refresh each time the count of samples in whole blocks passes a multiple of 2205.
    const int64_t blockSamples = dataBytes / 2 / 220 * 220;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1 + (blockSamples - 1) / 2205);
    EXPECT_LT(r.peakKilobytes, 20 * 1024) << "peak memory " << r.peakKilobytes << " kB";
    std::printf("three hours: peak memory %ld kB\n", r.peakKilobytes);
    EXPECT_EQ(pngSize(dir.file("end.png")), std::make_pair(240u, 320u));
}

}  // namespace
}  // namespace veldra
