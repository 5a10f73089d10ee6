// The veldra-file program itself: the reference recordings line for line, exit codes and
// the one stderr line, unreadable inputs, the pictures it writes (and leaves behind on
// failure), three hours of sound in constant memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "tests/support/scratch_files.h"

namespace veldra {
namespace {

namespace fs = std::filesystem;

struct Result {
    int exitCode = -1;  // -1: killed by a signal
    std::string out, err;
    long peakKilobytes = 0;
};

class VeldraFileProgramTest : public ::testing::Test {
  protected:
    // Runs the program next to this test's build (tools/veldra-file/veldra-file); its output
    // goes through files, so nothing can block. A run over 300 s is killed.
    Result run(std::vector<std::string> args) const {
        const std::string program = fs::read_symlink("/proc/self/exe").parent_path().parent_path() /
                                    "tools/veldra-file/veldra-file";
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string out = folder.path("stdout"), err = folder.path("stderr");
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            ::alarm(300);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        Result r;
        int status = 0;
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
        r.out = readWholeFile(out), r.err = readWholeFile(err);
        r.peakKilobytes = usage.ru_maxrss;
        fs::remove(out), fs::remove(err);
        return r;
    }
    std::string file(const std::string& name) const { return folder.path(name); }
    ScratchFolder folder;
};

// One line on stderr, from the program, containing the given text.
void expectOneErrorLine(const Result& r, const std::string& text) {
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind("veldra-file: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
}

// ---- The whole tuner over the reference recordings: --csv must print the expected lines
// exactly, in the start-up state and after each file's mode commands. A differing line
// names its differing columns: period, recent_period and recent_count come from the
// analysis alone, frequency_hz, stable and needle from the pipeline and the dial.

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

std::string differingColumns(const std::string& header, const std::string& got,
                             const std::string& want) {
    const auto names = split(header, ','), a = split(got, ','), b = split(want, ',');
    std::string differing;
    for (size_t i = 0; i < names.size(); ++i)
        if (i >= a.size() || i >= b.size() || a[i] != b[i]) differing += " " + names[i];
    return differing;
}

TEST_F(VeldraFileProgramTest, ReferenceRecordingsLineForLine) {
    for (const ReferenceCase& c : referenceCases()) {
        SCOPED_TRACE(c.recording + "." + c.modes);
        std::vector<std::string> args = {"--csv"};
        for (const std::string& mode : split(c.modes, '-'))
            if (mode != "startup") args.insert(args.end(), {"--mode", mode});
        args.push_back(testDataPath(c.recording + ".wav"));
        const Result r = run(args);
        ASSERT_EQ(std::tuple(r.exitCode, r.err), std::tuple(0, ""));
        const auto got = split(r.out, '\n');
        const auto want =
            split(readWholeFile(testDataPath(c.recording + "." + c.modes + ".csv")), '\n');
        ASSERT_GT(want.size(), 10u);
        for (size_t i = 0; i < std::min(got.size(), want.size()); ++i)
            ASSERT_EQ(got[i], want[i])
                << "line " << i + 1 << ", differing:" << differingColumns(want[0], got[i], want[i]);
        EXPECT_EQ(got.size(), want.size());
    }
}

TEST_F(VeldraFileProgramTest, UnreadableInputsExitOneAndLeaveNoPicture) {
    fs::create_directory(file("folder.wav"));
    const std::pair<std::string, std::string> cases[] = {{"missing.wav", "no such file"},
                                                         {"folder.wav", "is a directory"},
                                                         {"empty.wav", "empty"},
                                                         {"readme.txt", "not a sound file"},
                                                         {"cut.wav", "truncated"}};
    writeWholeFile(file("empty.wav"), "");
    writeWholeFile(file("readme.txt"), "Just text\n");
    writeWholeFile(file("cut.wav"), readWholeFile(testDataPath("viola_C3.wav")).substr(0, 30));
    for (const auto& [name, reason] : cases) {
        const Result r = run({"--png", file("out.png"), "--frames", file("frames"), file(name)});
        EXPECT_EQ(std::tuple(r.exitCode, r.out), std::tuple(1, "")) << name;
        expectOneErrorLine(r, file(name) + ": " + reason);
        // No picture, no temporary picture ("out.png.XXXXXX"), no frames folder made for nothing.
        for (const auto& e : fs::directory_iterator(folder.root())) {
            EXPECT_EQ(e.path().filename().string().find("out.png"), std::string::npos) << e.path();
            EXPECT_NE(e.path().filename(), "frames");
        }
    }
}

TEST_F(VeldraFileProgramTest, PicturesAtTheEndAtAMomentAndAtEveryRefresh) {
    const std::string wav = testDataPath("elec_guitar_D3_plus7c.wav");
    const Result r = run({"--csv", "--png", file("end.png"), "--frames", file("frames"), wav});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string end = readWholeFile(file("end.png"));
    EXPECT_EQ(end.substr(16, 8), std::string("\0\0\0\xF0\0\0\x01\x40", 8));  // 240 x 320
    // One frame per CSV line; the last is the screen at the end.
    const long refreshes = std::count(r.out.begin(), r.out.end(), '\n') - 1;
    ASSERT_EQ(std::distance(fs::directory_iterator(file("frames")), fs::directory_iterator()),
              refreshes);
    char last[48];
    std::snprintf(last, sizeof last, "frames/frame-%06ld.png", refreshes);
    EXPECT_EQ(readWholeFile(file(last)), end);
    // --at 1.0: block 101 is the first to reach one second; its refresh is the 10th.
    ASSERT_EQ(run({"--png", file("at.png"), "--at", "1.0", wav}).exitCode, 0);
    EXPECT_EQ(readWholeFile(file("at.png")), readWholeFile(file("frames/frame-000010.png")));
    // Beyond the end, or into a folder that is not there: one line, exit 1, no picture.
    const Result late = run({"--png", file("late.png"), "--at", "3600", wav});
    EXPECT_EQ(late.exitCode, 1);
    expectOneErrorLine(late, "before --at 3600");
    EXPECT_FALSE(fs::exists(file("late.png")));
    const Result nowhere = run({"--png", file("no/such/x.png"), wav});  // checked before any work
    EXPECT_EQ(std::tuple(nowhere.exitCode, nowhere.out), std::tuple(1, ""));
    expectOneErrorLine(nowhere, "no/such/x.png");
}

// Three hours of 22050 Hz mono sound, silence after the first seconds, kept sparse on
// disk. Not under a sanitizer, whose shadow memory makes the figure meaningless.
TEST_F(VeldraFileProgramTest, ThreeHourFileIsStreamedInConstantMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "peak memory is not measured under a sanitizer";
#endif
    // The viola's recording, whose header is the canonical 44 bytes, then silence.
    writeWholeFile(file("long.wav"), readWholeFile(testDataPath("viola_C3.wav")));
    const uint32_t dataBytes = 3 * 3600 * 22050 * 2, riffBytes = dataBytes + 36;
    fs::resize_file(file("long.wav"), 44 + dataBytes);
    std::fstream f(file("long.wav"), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(4), f.write(reinterpret_cast<const char*>(&riffBytes), 4);
    f.seekp(40), f.write(reinterpret_cast<const char*>(&dataBytes), 4);
    f.close();
    const Result r = run({"--csv", "--png", file("end.png"), file("long.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // A refresh each time the samples of whole blocks pass another 2205.
    const int64_t samples = dataBytes / 2 / 220 * 220;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1 + (samples - 1) / 2205);
    EXPECT_LT(r.peakKilobytes, 20 * 1024);
    std::printf("three hours of sound: peak memory %ld kB\n", r.peakKilobytes);
}

}  // namespace
}  // namespace veldra
