// The veldra-file program itself: its output, exit codes and one stderr line, the pictures
// it writes (and leaves behind on failure), three hours of sound in constant memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <vector>

#include "tests/support/polling.h"
#include "tests/support/scratch_files.h"
#include "tests/support/tuner_setup.h"

namespace veldra {
namespace {

namespace fs = std::filesystem;

struct Result {
    int exitCode = -1;  // -1: killed by a signal
    int signal = 0;     // the signal that ended it, if one did
    std::string out, err;
    long peakKilobytes = 0;
};

class VeldraFileProgramTest : public ::testing::Test {
  protected:
    // The program of this test's build, its output into files so that nothing blocks;
    // inChild runs in the child before it (limits, signals, descriptors). Killed after 300 s.
    pid_t start(std::vector<std::string> args, const std::function<void()>& inChild = {}) const {
        const std::string program = VELDRA_FILE_PROGRAM;
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string out = plumbing.path("stdout"), err = plumbing.path("stderr");
        // Under LeakSanitizer the sound libraries' own leaks are theirs (fuzz/lsan.supp).
        const std::string leaks = "print_suppressions=0:suppressions=" VELDRA_LSAN_SUPPRESSIONS;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            ::setenv("LSAN_OPTIONS", leaks.c_str(), 1);
            ::alarm(300);
            if (inChild) inChild();
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        return pid;
    }
    Result finish(pid_t pid) const {
        Result r;
        int status = 0;
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
        r.out = readWholeFile(plumbing.path("stdout")),
        r.err = readWholeFile(plumbing.path("stderr"));
        r.peakKilobytes = usage.ru_maxrss;
        return r;
    }
    Result run(std::vector<std::string> args, const std::function<void()>& inChild = {}) const {
        return finish(start(std::move(args), inChild));
    }
    std::string file(const std::string& name) const { return folder.path(name); }
    ScratchFolder folder;    // the test's files
    ScratchFolder plumbing;  // the program's standard output and error
};

// One line on stderr, from the program, containing the given text.
void expectOneErrorLine(const Result& r, const std::string& text) {
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind("veldra-file: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
}

// Every file under folder, with its content (a folder's is "/"; beyond 16 bytes its start,
// size and hash), to compare before and after.
std::map<std::string, std::string> contents(const std::string& folder) {
    std::map<std::string, std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string bytes = e.is_directory() ? "/" : readWholeFile(e.path().string());
        found[e.path().string()] = bytes.size() <= 16
                                       ? bytes
                                       : bytes.substr(0, 4) + "... " +
                                             std::to_string(bytes.size()) + " bytes, hash " +
                                             std::to_string(std::hash<std::string>{}(bytes));
    }
    return found;
}

std::string frameName(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", number);
    return name;
}

// The viola's recording, whose header is the canonical 44 bytes, made to claim and hold
// seconds of sound: silence after its own five, kept sparse on disk.
void writeLongWav(const std::string& path, uint32_t seconds) {
    writeWholeFile(path, readWholeFile(testDataPath("viola_C3.wav")));
    const uint32_t dataBytes = seconds * 22050 * 2, riffBytes = dataBytes + 36;
    fs::resize_file(path, 44 + dataBytes);
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(4), f.write(reinterpret_cast<const char*>(&riffBytes), 4);
    f.seekp(40), f.write(reinterpret_cast<const char*>(&dataBytes), 4);
}

// ---- The reference recordings: --csv prints the expected lines exactly, in the start-up
// state and after each file's mode commands.

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

// The line's first count columns.
std::string firstColumns(const std::string& line, int count) {
    size_t at = 0;
    for (int i = 0; i < count; ++i) {
        const size_t comma = line.find(',', at);
        if (comma == std::string::npos) return line;
        at = comma + 1;
    }
    return line.substr(0, at - 1);
}

TEST_F(VeldraFileProgramTest, ReferenceRecordingsLineForLine) {
    for (const ReferenceCase& c : referenceCases()) {
        SCOPED_TRACE(c.recording + "." + c.modes);
        // The recordings' expected lines are the analysis's own: the raw road.
        std::vector<std::string> args = {"--csv", "--raw"};
        for (const std::string& mode : split(c.modes, '-'))
            if (mode != "startup") args.insert(args.end(), {"--mode", mode});
        args.push_back(testDataPath(c.recording + ".wav"));
        const Result r = run(args);
        ASSERT_EQ(std::tuple(r.exitCode, r.err), std::tuple(0, ""));
        // The first eight columns are the stable part; the reading's come after them.
        auto got = split(r.out, '\n');
        for (std::string& line : got)
            line = firstColumns(line, 8);
        const auto want =
            split(readWholeFile(testDataPath(c.recording + "." + c.modes + ".csv")), '\n');
        ASSERT_GT(want.size(), 10u);
        for (size_t i = 0; i < std::min(got.size(), want.size()); ++i)
            ASSERT_EQ(got[i], want[i]) << "line " << i + 1 << "; columns: " << want[0];
        EXPECT_EQ(got.size(), want.size());
    }
}

TEST_F(VeldraFileProgramTest, UnreadableInputsExitOneAndLeaveNoPicture) {
    fs::create_directory(file("folder.wav"));
    const std::pair<std::string, std::string> cases[] = {
        {"missing.wav", "no such file"},
        {"folder.wav", "is a directory"},
        {"empty.wav", "empty"},
        {"readme.txt", "not a sound file"},
        {"cut.wav", "truncated"},
        {"cut.ogg", "truncated (the file ends inside its header)"},
        {"damaged.ogg", "damaged sound file"}};
    writeWholeFile(file("empty.wav"), "");
    writeWholeFile(file("readme.txt"), "Just text\n");
    writeWholeFile(file("cut.wav"), readWholeFile(testDataPath("viola_C3.wav")).substr(0, 30));
    // An Ogg file's second page holds the decoder's set-up: cut inside it, or scrambled.
    std::vector<float> tone(22050);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5f * std::sin(0.03f * static_cast<float>(i));
    writeSoundFile(file("tone.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050, 1, tone);
    std::string ogg = readWholeFile(file("tone.ogg"));
    const size_t second = ogg.find("OggS", 4);
    writeWholeFile(file("cut.ogg"), ogg.substr(0, second + 100));
    for (size_t i = second + 60; i < second + 90; ++i)
        ogg[i] = static_cast<char>(ogg[i] ^ 0x55);
    writeWholeFile(file("damaged.ogg"), ogg);
    for (const auto& [name, reason] : cases) {
        const Result r = run({"--png", file("out.png"), "--frames", file("frames"), file(name)});
        EXPECT_EQ(std::tuple(r.exitCode, r.out), std::tuple(1, "")) << name;
        expectOneErrorLine(r, file(name) + ": " + reason);
        // No picture, no temporary picture (".veldra-XXXXXX"), no frames folder made for nothing.
        for (const auto& e : fs::directory_iterator(folder.root())) {
            EXPECT_EQ(e.path().filename().string().find("out.png"), std::string::npos) << e.path();
            EXPECT_EQ(e.path().filename().string().find(".veldra-"), std::string::npos) << e.path();
            EXPECT_NE(e.path().filename(), "frames");
        }
    }
}

TEST_F(VeldraFileProgramTest, PicturesAtTheEndAtAMomentAndAtEveryRefresh) {
    const std::string wav = testDataPath("elec_guitar_D3_plus7c.wav");
    const Result r = run({"--csv", "--png", file("end.png"), "--frames", file("frames"), wav});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string end = readWholeFile(file("end.png"));
    // The window: the 240 x 320 screen and the 64 rows of the readout below it.
    EXPECT_EQ(end.substr(16, 8), std::string("\0\0\0\xF0\0\0\x01\x80", 8));  // 240 x 384
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
    ASSERT_EQ(run({"--screen-only", "--png", file("screen.png"), wav}).exitCode, 0);
    EXPECT_EQ(readWholeFile(file("screen.png")).substr(16, 8),
              std::string("\0\0\0\xF0\0\0\x01\x40", 8));  // 240 x 320
    // Beyond the end, or into a folder that is not there: one line, exit 1, no picture.
    const Result late =
        run({"--png", file("late.png"), "--report", file("late.html"), "--at", "3600", wav});
    EXPECT_EQ(late.exitCode, 1);
    expectOneErrorLine(late, "before --at 3600");
    EXPECT_FALSE(fs::exists(file("late.png")) || fs::exists(file("late.html")));
    const Result nowhere = run({"--png", file("no/such/x.png"), wav});  // checked before any work
    EXPECT_EQ(std::tuple(nowhere.exitCode, nowhere.out), std::tuple(1, ""));
    expectOneErrorLine(nowhere, "no/such/x.png");
}

// --png writes only to a free name or a writable regular file (through a link, keeping its
// mode); anything else is refused (1), and the sound file itself is a usage error (2).
TEST_F(VeldraFileProgramTest, APictureGoesOnlyWhereAPictureMayGo) {
    const std::string wav = file("take.wav"),
                      original = readWholeFile(testDataPath("viola_C3.wav"));
    writeWholeFile(wav, original);
    ::mkfifo(file("fifo").c_str(), 0644);
    fs::create_symlink("nothing", file("dangling.png"));
    writeWholeFile(file("kept.png"), "old");
    ::chmod(file("kept.png").c_str(), 0640);
    fs::create_symlink("kept.png", file("link.png"));
    fs::create_symlink("take.wav", file("take-link.png"));
    writeWholeFile(file("locked.png"), "old");
    ::chmod(file("locked.png").c_str(), 0444);
    // Root may write anything: the locked file is tried by a user who may not.
    ::chmod(folder.root().c_str(), 0777), ::chmod(wav.c_str(), 0644);
    const auto asNobody = [] {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
    };
    const std::string longest = file(std::string(251, 'n') + ".png");
    const std::tuple<std::string, int, const char*, std::function<void()>> cases[] = {
        {file("fifo"), 1, "not a regular file", {}},
        {file("dangling.png"), 1, "a symbolic link to nothing", {}},
        {folder.root(), 1, "it is a folder", {}},
        {file("locked.png"), 1, "may not be written", asNobody},
        {wav, 2, "--png would overwrite the sound file being tuned", {}},
        {file("take-link.png"), 2, "--png would overwrite the sound file being tuned", {}},
        {file("link.png"), 0, "", {}},
        {longest, 0, "", {}},
    };
    for (const auto& [png, status, said, inChild] : cases) {
        const Result r = run({"--png", png, wav}, inChild);
        EXPECT_EQ(r.exitCode, status) << png << ": " << r.err;
        if (status != 0) expectOneErrorLine(r, png + ": "), expectOneErrorLine(r, said);
    }
    EXPECT_EQ(fs::status(file("fifo")).type(), fs::file_type::fifo);
    // The report goes where a picture may go, and nowhere else.
    const Result report = run({"--report", file("take-link.png"), wav});
    EXPECT_EQ(report.exitCode, 2);
    expectOneErrorLine(report, "--report would overwrite the sound file being tuned");
    EXPECT_TRUE(fs::is_symlink(file("dangling.png")) && !fs::exists(file("nothing")));
    EXPECT_EQ(readWholeFile(file("locked.png")), "old");
    EXPECT_EQ(readWholeFile(wav), original);
    EXPECT_TRUE(fs::is_symlink(file("link.png")));
    EXPECT_EQ(readWholeFile(file("kept.png")).substr(1, 3), "PNG");
    EXPECT_EQ(fs::status(file("kept.png")).permissions(), static_cast<fs::perms>(0640));
    EXPECT_EQ(readWholeFile(longest).substr(1, 3), "PNG");
    for (const auto& e : fs::directory_iterator(folder.root()))
        EXPECT_NE(e.path().filename().string().rfind(".veldra-", 0), 0u) << e.path();
}

// A failed --frames run leaves the folder as it was (or removes one it made); one that
// succeeds leaves its frames and the folder's other files, none of an earlier, longer run.
TEST_F(VeldraFileProgramTest, FramesReplaceAnEarlierRunsOnlyWhenTheRunSucceeds) {
    const std::string wav = testDataPath("elec_guitar_D3_plus7c.wav"), frames = file("frames");
    fs::create_directory(frames);
    for (int n = 1; n <= 300; ++n)
        writeWholeFile(frames + "/" + frameName(n), "old");
    writeWholeFile(frames + "/notes.txt", "mine");
    writeWholeFile(frames + "/frame-1.png", "not one of ours");
    const auto before = contents(frames);
    EXPECT_EQ(run({"--frames", frames, "--png", file("x.png"), "--at", "3600", wav}).exitCode, 1);
    EXPECT_EQ(contents(frames), before);
    EXPECT_EQ(run({"--frames", file("new"), "--png", file("x.png"), "--at", "3600", wav}).exitCode,
              1);
    EXPECT_FALSE(fs::exists(file("new")));
    const Result r = run({"--csv", "--frames", frames, wav});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const int refreshes = static_cast<int>(std::count(r.out.begin(), r.out.end(), '\n')) - 1;
    auto after = contents(frames);
    EXPECT_EQ(after.size(), static_cast<size_t>(refreshes) + 2);
    EXPECT_EQ(after[frames + "/notes.txt"], "mine");
    EXPECT_EQ(after[frames + "/frame-1.png"], "not one of ours");
    for (int n = 1; n <= refreshes; ++n)
        EXPECT_EQ(after[frames + "/" + frameName(n)].substr(1, 3), "PNG") << n;
}

// Interrupted, cut off or refused, a run leaves the frames folder as it was and no picture:
// it ends quietly by the signal that ended it, or with 1 and one line when a write fails
// (a limit on the file size must not kill it). SIGINT: ASignalDuringTheCommitPutsEverythingBack.
TEST_F(VeldraFileProgramTest, AnInterruptedOrRefusedRunLeavesNothingBehind) {
    writeLongWav(file("long.wav"), 600);
    const std::string frames = file("frames"), png = file("out.png");
    fs::create_directory(frames);
    writeWholeFile(frames + "/notes.txt", "mine");
    const auto before = contents(frames);
    const std::function<void()> closedPipe = [] {
        int ends[2];
        if (::pipe(ends) == 0) ::close(ends[0]), ::dup2(ends[1], 1);
        ::signal(SIGPIPE, SIG_IGN);  // as some parents leave it: the write fails with EPIPE
    };
    const std::tuple<const char*, int, std::function<void()>, int, const char*> cases[] = {
        {"SIGTERM", SIGTERM, {}, SIGTERM, ""},
        {"a closed pipe", 0, closedPipe, SIGPIPE, ""},
        {"a full disk", 0, [] { ::dup2(::open("/dev/full", O_WRONLY), 1); }, 0,
         "standard output: No space left on device"},
        {"a size limit on the pictures", 0,
         [] {
             const rlimit limit{8000, 8000};
             ::setrlimit(RLIMIT_FSIZE, &limit);
         },
         0, "File too large"},
    };
    for (const auto& [name, send, inChild, signal, said] : cases) {
        SCOPED_TRACE(name);
        std::vector<std::string> args = {"--csv", "--frames", frames,
                                         "--png", png,        file("long.wav")};
        if (std::string(name) == "a size limit on the pictures")
            args = {"--png", png, file("long.wav")};
        const pid_t pid = start(args, [&] {
            for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
                ::signal(s, SIG_DFL);
            if (inChild) inChild();
        });
        // A signal comes while frames are being written into the run's private folder.
        if (send != 0) {
            EXPECT_TRUE(eventually([&] {
                for (const auto& e : fs::recursive_directory_iterator(frames))
                    if (e.path().filename() == frameName(2)) return true;
                return false;
            }));
            ::kill(pid, send);
        }
        const Result r = finish(pid);
        EXPECT_EQ(std::tuple(r.signal, r.exitCode), std::tuple(signal, signal != 0 ? -1 : 1));
        if (signal == 0) {
            expectOneErrorLine(r, said);
        } else {
            EXPECT_EQ(r.err, "");
        }
        EXPECT_EQ(contents(frames), before);
        for (const auto& e : fs::directory_iterator(folder.root()))
            EXPECT_TRUE(e.path().filename() == "long.wav" || e.path() == frames) << e.path();
    }
}

// The program as another user (nobody), to meet a user's files in a shared folder; only
// root can start it so. The test's folder is opened to that user.
std::function<void()> asAnotherUser() {
    return [] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(126);
    };
}

// A shared sticky folder, open to everybody, in the test's folder.
std::string sharedFolder(const ScratchFolder& folder) {
    ::chmod(folder.root().c_str(), 0755);
    const std::string shared = folder.path("shared");
    fs::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    return shared;
}

// An earlier frame that cannot be replaced (another user's, in a shared sticky folder)
// stops the commit: frames 1 and 2 moved aside are put back, and no picture (it goes last).
TEST_F(VeldraFileProgramTest, AFramesCommitThatCannotReplaceEveryNameChangesNothing) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can play a second user";
    const std::string shared = sharedFolder(folder), png = shared + "/out.png";
    for (int n = 1; n <= 3; ++n) {
        const std::string frame = shared + "/" + frameName(n);
        writeWholeFile(frame, "old");
        if (n < 3) {
            ASSERT_EQ(::chown(frame.c_str(), 65534, 65534), 0);
        }
    }
    const auto before = contents(shared);
    const Result r =
        run({"--csv", "--frames", shared, "--png", png, testDataPath("elec_guitar_D3_plus7c.wav")},
            asAnotherUser());
    EXPECT_EQ(r.exitCode, 1);
    expectOneErrorLine(r, shared + "/" + frameName(3) + ": cannot be replaced (");
    EXPECT_EQ(contents(shared), before);
    EXPECT_GT(std::count(r.out.begin(), r.out.end(), '\n'), 10)
        << "the table is printed as it goes";
}

// A signal that lands while the frames go into place puts the earlier ones back, then
// ends the program by that signal: the folder is as it was, and no picture.
TEST_F(VeldraFileProgramTest, ASignalDuringTheCommitPutsEverythingBack) {
    const std::string frames = file("frames"), png = file("out.png");
    fs::create_directory(frames);
    // Enough earlier frames that moving them aside takes a while.
    for (int n = 1; n <= 2000; ++n)
        writeWholeFile(frames + "/" + frameName(n), "old");
    const auto before = contents(frames);
    const pid_t pid = start(
        {"--csv", "--frames", frames, "--png", png, testDataPath("elec_guitar_D3_plus7c.wav")},
        [] { ::signal(SIGINT, SIG_DFL); });
    // The commit has begun once an earlier frame is in the run's private folder.
    std::string staging;
    EXPECT_TRUE(eventually([&] {
        if (staging.empty()) {
            for (const auto& e : fs::directory_iterator(frames))
                if (e.path().filename().string().rfind(".veldra-", 0) == 0) staging = e.path();
            return false;
        }
        std::error_code gone;
        for (const auto& e : fs::directory_iterator(staging, gone))
            if (e.path().filename().string().rfind("old-", 0) == 0) return true;
        return false;
    }));
    // Stopped at once, so that the signal is sure to come while the frames are moving.
    ::kill(pid, SIGSTOP);
    ::kill(pid, SIGINT);
    ::kill(pid, SIGCONT);
    const Result r = finish(pid);
    EXPECT_EQ(r.signal, SIGINT);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(contents(frames), before);
    EXPECT_FALSE(fs::exists(png));
}

// Standard output opened on the sound file itself (1<> take.wav, >> take.wav) is refused
// with 2 before anything is written, the recording untouched.
TEST_F(VeldraFileProgramTest, StandardOutputThatIsTheInputIsRefused) {
    const std::string wav = file("take.wav");
    writeWholeFile(wav, readWholeFile(testDataPath("viola_C3.wav")));
    const std::string before = readWholeFile(wav);
    for (const int how : {O_RDWR, O_WRONLY | O_APPEND}) {
        const Result r = run({"--csv", wav}, [&] { ::dup2(::open(wav.c_str(), how), 1); });
        EXPECT_EQ(r.exitCode, 2);
        expectOneErrorLine(r, wav + ": standard output is the sound file being tuned");
        EXPECT_EQ(readWholeFile(wav), before);
    }
}

// Another user's symbolic link in a shared sticky folder is refused as --png and as
// --frames, whatever protected_symlinks says; what it points at is left alone.
TEST_F(VeldraFileProgramTest, AnotherUsersLinkInASharedFolderIsNoOutput) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can play a second user";
    const std::string shared = sharedFolder(folder), aimed = file("aimed");
    fs::create_directory(aimed);
    ::chmod(aimed.c_str(), 0777);
    writeWholeFile(aimed + "/picture.png", "mine");
    ::chmod((aimed + "/picture.png").c_str(), 0666);
    fs::create_symlink(aimed + "/picture.png", shared + "/out.png");
    fs::create_directory_symlink(aimed, shared + "/frames");
    const auto before = contents(aimed);
    const std::string wav = testDataPath("viola_C3.wav");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--png", shared + "/out.png", wav}, shared + "/out.png: cannot be written ("},
        {{"--frames", shared + "/frames", wav},
         shared + "/frames: cannot use it as the frames folder ("},
    };
    for (const auto& [args, said] : cases) {
        const Result r = run(args, asAnotherUser());
        EXPECT_EQ(r.exitCode, 1);
        expectOneErrorLine(
            r, said + "a symbolic link of another user in a folder everybody may write)");
        EXPECT_EQ(contents(aimed), before);
    }
}

// A file that holds less than its header announces is tuned as far as it goes, with one
// warning line. (Cut compressed files, format by format: sound_test.)
TEST_F(VeldraFileProgramTest, AShortFileIsTunedWithOneWarning) {
    const std::string viola = readWholeFile(testDataPath("viola_C3.wav"));
    writeWholeFile(file("cut.wav"), viola.substr(0, 44 + 2 * 22050 * 2));
    // 8-bit mono: a header claiming 2^31 frames over 4410.
    std::string huge = viola.substr(0, 44) + std::string(4410, '\x80');
    const uint32_t fields[][2] = {{28, 22050}, {40, 0x80000000u}};
    for (const auto& [at, value] : fields)
        std::memcpy(&huge[at], &value, 4);
    const uint16_t oneByte[][2] = {{32, 1}, {34, 8}};  // block align, bits
    for (const auto& [at, value] : oneByte)
        std::memcpy(&huge[at], &value, 2);
    writeWholeFile(file("huge.wav"), huge);
    const std::pair<const char*, const char*> cases[] = {
        {"cut.wav", "2.0 s read of 5.3 s announced"},
        {"huge.wav", "0.2 s read of 97391.5 s announced"},
    };
    for (const auto& [name, said] : cases) {
        const Result r = run({file(name)});
        EXPECT_EQ(r.exitCode, 0) << name;
        EXPECT_NE(r.out.find("time (s)"), std::string::npos) << name;
        expectOneErrorLine(r, file(name) + ": shorter than its header says: ");
        expectOneErrorLine(r, said);
    }
}

// Damage inside a file ends the run where it is, with status 1 and one line saying where;
// what was printed before stays. MP3, whose decoder's own notes must stay off stderr.
TEST_F(VeldraFileProgramTest, DamageInsideEndsTheRunSayingWhere) {
    std::vector<float> tone(6 * 22050);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = (0.3f + 0.2f * std::sin(static_cast<float>(i) / 9000)) *
                  std::sin(0.056f * static_cast<float>(i));
    writeSoundFile(file("whole.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 22050, 1, tone);
    std::string mp3 = readWholeFile(file("whole.mp3"));
    std::fill(mp3.begin() + mp3.size() / 2, mp3.begin() + mp3.size() / 2 + 200, 'A');
    writeWholeFile(file("damaged.mp3"), mp3);
    const Result r = run({"--csv", file("damaged.mp3")});
    EXPECT_EQ(r.exitCode, 1);
    expectOneErrorLine(r, file("damaged.mp3") + ": damaged at ");
    const double at = std::stod(r.err.substr(r.err.find("damaged at ") + 11));
    EXPECT_NEAR(at, 3.0, 0.5) << r.err;
    // A refresh every 0.1 s up to the damage, none after it.
    const auto lines = std::count(r.out.begin(), r.out.end(), '\n');
    EXPECT_GT(lines, 10 * (at - 0.5)) << r.out;
    EXPECT_LT(lines, 10 * (at + 0.5)) << r.out;
}

// EIO is never the end of the sound: said at the open, or later with the place; a file that
// shrinks while read is tuned as far as it went. (Fault-injection library: optimised build.)
TEST_F(VeldraFileProgramTest, ReadErrorsEndTheRunAndSayWhere) {
#ifndef VELDRA_FAULT_SHIM
    GTEST_SKIP()
        << "no fault-injection library in this build (sanitizers and LD_PRELOAD do not mix)";
#else
    const std::string wav = file("take.wav");
    writeWholeFile(wav, readWholeFile(testDataPath("viola_C3.wav")));
    const std::tuple<int, int, int, const char*> cases[] = {
        {0, EIO, 1, ": cannot be read (Input/output error)"},
        {100044, EIO, 1, ": read error at 2.3 s (Input/output error)"},
        {100044, 0, 0, ": shorter than its header says: 2.3 s read of 5.3 s announced"},
    };
    for (const auto& [after, error, status, said] : cases) {
        const Result r = run({"--csv", wav}, [&] {
            ::setenv("LD_PRELOAD", VELDRA_FAULT_SHIM, 1);
            ::setenv("VELDRA_FAULT_FILE", wav.c_str(), 1);
            ::setenv("VELDRA_FAULT_AFTER", std::to_string(after).c_str(), 1);
            ::setenv("VELDRA_FAULT_ERRNO", std::to_string(error).c_str(), 1);
        });
        EXPECT_EQ(r.exitCode, status) << said;
        expectOneErrorLine(r, wav + said);
    }
#endif
}

// Control characters in names are escaped in the title and every message; --at takes plain
// decimal seconds, and beyond the sound a value of any size is "before --at".
TEST_F(VeldraFileProgramTest, NamesPrintEscapedAndAtTakesPlainSeconds) {
    const std::string odd = file("take\n\x1b[31m.wav");
    writeWholeFile(odd, readWholeFile(testDataPath("viola_C3.wav")));
    const Result table = run({odd});
    EXPECT_EQ(table.exitCode, 0);
    EXPECT_EQ(table.out.substr(0, table.out.find('\n')),
              "Veldra -- Guitar  (" + folder.root() + "/take\\n\\x1b[31m.wav)");
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{file("gone\n.wav")}, "gone\\n.wav: no such file"},
        {{"--png", file("no\n/x.png"), odd}, "no\\n/x.png: cannot be written"},
        {{"--mode", "\x1b[2J", odd}, "unknown mode \"\\x1b[2J\""},
        {{"--png", file("at.png"), "--at", "0x10", odd}, "--at needs a number"},
        {{"--png", file("at.png"), "--at", "1e1", odd}, "--at needs a number"},
        {{"--png", file("at.png"), "--at", "100000000000000000000", odd}, "before --at 1e+20"},
    };
    for (const auto& [args, said] : cases) {
        const Result r = run(args);
        EXPECT_NE(r.exitCode, 0) << said;
        expectOneErrorLine(r, said);
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
    }
}

// A4 = 442 Hz + 5 cents with --a4 442: +5 in the table and the CSV (note and violin string;
// the needle's angle: player_choices_test). Wrong values: exit 2, one line.
TEST_F(VeldraFileProgramTest, TheReferenceAndTuningOptionsAndTheirWrongValues) {
    const std::string tone = file("a442-plus5.wav");
    writeSteadyTone(tone, 442.0 * std::exp2(5.0 / 1200.0), 2.0);
    const Result table = run({"--mode", "violin", "--a4", "442", tone});
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_EQ(table.out.rfind("Veldra -- Violin, A4 = 442 Hz  (", 0), 0u) << table.out;
    EXPECT_NE(table.out.find("A 4      +5    443.3 Hz   3: A 4   +5\n"), std::string::npos)
        << table.out;

    // The reading's columns name the note, the cents and the violin's A string at 442 Hz.
    const std::string csv = run({"--a4=442", "--csv", "--mode", "violin", tone}).out;
    EXPECT_NE(csv.find(",A4,+5.0,3\n"), std::string::npos) << csv;

    const Result list = run({"--tuning", "list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(split(list.out, '\n').size(), 8u);
    EXPECT_EQ(list.out.rfind("guitar: standard (default), drop D, DADGAD,", 0), 0u) << list.out;
    const std::pair<std::vector<std::string>, const char*> wrong[] = {
        {{"--a4", "414", tone}, "--a4 takes a whole number of hertz from 415 to 466"},
        {{"--tuning", "drop d", "--mode", "violin", tone}, "unknown tuning \"drop d\" for Violin"},
    };
    for (const auto& [args, said] : wrong) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 2) << said;
        expectOneErrorLine(r, said);
        EXPECT_EQ(r.out, "");
    }
}

// A tone that stops dead: a second into the zeros no note is shown, where the last one
// stayed for as long as the zeros lasted; the dial shows no needle from then on.
TEST_F(VeldraFileProgramTest, ASecondOfDigitalSilenceEndsTheLastNote) {
    std::vector<float> sound(12 * 22050, 0.0f);
    for (int i = 0; i < 2 * 22050; ++i)
        sound[i] = static_cast<float>(0.4 * std::sin(2 * M_PI * 440.0 * i / 22050));
    writeSoundFile(file("stops.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, sound);
    const Result table = run({file("stops.wav")});
    ASSERT_EQ(table.exitCode, 0) << table.err;
    const size_t last = table.out.rfind("A 4");
    ASSERT_NE(last, std::string::npos) << table.out;
    double from = 0, to = 0;
    ASSERT_EQ(
        std::sscanf(table.out.c_str() + table.out.rfind('\n', last) + 1, "%lf-%lf", &from, &to), 2)
        << table.out;
    EXPECT_GT(to, 2.8) << table.out;  // the zeros began at 2.0
    EXPECT_LT(to, 3.05) << table.out;
    const Result csv = run({"--csv", file("stops.wav")});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const auto lastLine = split(csv.out, '\n').back();
    EXPECT_EQ(lastLine.substr(lastLine.find(",none")), ",none,,,");  // nothing read: empty
}

// Three hours of 22050 Hz mono sound, silence after the first seconds, kept sparse on
// disk. Not under a sanitizer, whose shadow memory makes the figure meaningless.
TEST_F(VeldraFileProgramTest, ThreeHourFileIsStreamedInConstantMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "peak memory is not measured under a sanitizer";
#endif
    writeLongWav(file("long.wav"), 3 * 3600);
    const uint32_t dataBytes = 3 * 3600 * 22050 * 2;
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
