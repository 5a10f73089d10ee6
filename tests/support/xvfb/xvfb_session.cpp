#include "xvfb_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace veldra {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int screenWidth = 240;
constexpr int screenHeight = 320;

// Ignores X errors (a window vanishing between listing and reading it), so that the
// caller sees a failed call instead of the process ending.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

struct Layout {
    int scale;
    int offsetX;
    int offsetY;
};

bool layoutOf(Display* display, Window window, Layout& layout, int& width, int& height) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) == 0) return false;
    width = attributes.width;
    height = attributes.height;
    layout.scale = std::max(1, std::min(width / screenWidth, height / screenHeight));
    layout.offsetX = (width - screenWidth * layout.scale) / 2;
    layout.offsetY = (height - screenHeight * layout.scale) / 2;
    return true;
}

int channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const unsigned long value = (pixel & mask) >> shift;
    const unsigned long top = mask >> shift;
    return static_cast<int>(value * 255 / top);
}

}  // namespace

// ---- Xvfb ----

XvfbSession::~XvfbSession() {
    if (connection_ != nullptr) XCloseDisplay(connection_);
    if (server_ > 0) {
        ::kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
    }
}

bool XvfbSession::start(std::string& why) {
    int ready[2];
    if (pipe(ready) != 0) {
        why = "no pipe for Xvfb's display number";
        return false;
    }
    const std::string fd = std::to_string(ready[1]);
    server_ = fork();
    if (server_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the test
        close(ready[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    if (server_ < 0) {
        close(ready[0]);
        why = "cannot fork for Xvfb";
        return false;
    }
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    const auto until = Clock::now() + std::chrono::seconds(20);
    for (;;) {
        pollfd p{ready[0], POLLIN, 0};
        const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
        if (left <= 0 || poll(&p, 1, left) <= 0) break;
        char c = 0;
        if (read(ready[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(ready[0]);
    if (number.empty()) {
        why = "Xvfb did not start (is the xvfb package installed?)";
        return false;
    }
    display_ = ":" + number;
    XSetErrorHandler(ignoreXError);
    connection_ = XOpenDisplay(display_.c_str());
    if (connection_ == nullptr) {
        why = "cannot connect to Xvfb on " + display_;
        return false;
    }
    return true;
}

// ---- child processes ----

ChildProcess::~ChildProcess() {
    kill();
    if (!errorFile_.empty()) unlink(errorFile_.c_str());
}

bool ChildProcess::start(const std::vector<std::string>& arguments, const std::vector<std::string>& extra,
                         std::string& why) {
    char name[] = "/tmp/veldra-e2e-stderr-XXXXXX";
    const int errorFd = mkstemp(name);
    if (errorFd < 0) {
        why = "no file for the child's standard error";
        return false;
    }
    errorFile_ = name;
    // Everything the child needs is built before fork.
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
    for (const std::string& x : extra) {
        const std::string key = x.substr(0, x.find('=') + 1);
        std::erase_if(environment, [&](const std::string& e) { return e.rfind(key, 0) == 0; });
        environment.push_back(x);
    }
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(errorFd, STDERR_FILENO);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(errorFd);
    if (pid_ < 0) {
        why = "cannot fork";
        return false;
    }
    return true;
}

std::optional<int> ChildProcess::wait(int timeoutMs) {
    if (pid_ <= 0) return std::nullopt;
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() >= until) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ChildProcess::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string ChildProcess::errorOutput() const {
    std::ifstream in(errorFile_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// ---- xdotool and windows ----

bool xdotool(const XvfbSession& session, const std::vector<std::string>& arguments, std::string* why) {
    std::vector<std::string> command{"xdotool"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    ChildProcess tool;
    std::string failure;
    if (!tool.start(command, {"DISPLAY=" + session.display()}, failure)) {
        if (why != nullptr) *why = failure;
        return false;
    }
    const std::optional<int> status = tool.wait(10000);
    if (status.has_value() && *status == 0) return true;
    if (why != nullptr) {
        std::string text = "xdotool";
        for (const std::string& a : arguments) text.append(1, ' ').append(a);
        text.append(status.has_value() ? ": exit status " + std::to_string(*status) : std::string(": no end within 10 s"));
        text.append(1, '\n').append(tool.errorOutput());
        *why = text;
    }
    return false;
}

bool focusWindow(const XvfbSession& session, unsigned long window) {
    Display* display = session.connection();
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < until) {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        if (focus == window) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

unsigned long findWindow(const XvfbSession& session, const std::string& name, int timeoutMs) {
    Display* display = session.connection();
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < until) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0) {
            for (unsigned int i = 0; i < count; ++i) {
                char* windowName = nullptr;
                if (XFetchName(display, children[i], &windowName) != 0 && windowName != nullptr) {
                    const bool match = name == windowName;
                    XFree(windowName);
                    XWindowAttributes attributes;
                    if (match && XGetWindowAttributes(display, children[i], &attributes) != 0 &&
                        attributes.map_state == IsViewable) {
                        const Window found = children[i];
                        XFree(children);
                        return found;
                    }
                }
            }
            if (children != nullptr) XFree(children);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

bool readScreen(const XvfbSession& session, unsigned long window, std::vector<uint16_t>& screen) {
    Display* display = session.connection();
    Layout layout{};
    int width = 0, height = 0;
    if (!layoutOf(display, window, layout, width, height)) return false;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    screen.assign(screenWidth * screenHeight, 0);
    const int middle = layout.scale / 2;
    for (int y = 0; y < screenHeight; ++y) {
        for (int x = 0; x < screenWidth; ++x) {
            const unsigned long p = XGetPixel(image, layout.offsetX + x * layout.scale + middle,
                                              layout.offsetY + y * layout.scale + middle);
            const int r = channel(p, image->red_mask);
            const int g = channel(p, image->green_mask);
            const int b = channel(p, image->blue_mask);
            screen[static_cast<size_t>(y * screenWidth + x)] =
                static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
        }
    }
    XDestroyImage(image);
    return true;
}

void windowPoint(const XvfbSession& session, unsigned long window, int x, int y, int& wx, int& wy) {
    Layout layout{};
    int width = 0, height = 0;
    if (!layoutOf(session.connection(), window, layout, width, height)) layout = {1, 0, 0};
    wx = layout.offsetX + x * layout.scale + layout.scale / 2;
    wy = layout.offsetY + y * layout.scale + layout.scale / 2;
}

// ---- the process's costs ----

double processorSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(in, text);
    // Fields after the command's closing parenthesis; utime and stime are the 14th and 15th.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) ticks += std::stoull(field);
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long residentKilobytes(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

bool writeWav(const std::string& path, const std::vector<int16_t>& samples, int rate) {
    std::ofstream out(path, std::ios::binary);
    const auto word = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    out << "RIFF";
    word(36 + data, 4);
    out << "WAVEfmt ";
    word(16, 4);
    word(1, 2);                               // PCM
    word(1, 2);                               // mono
    word(static_cast<uint32_t>(rate), 4);
    word(static_cast<uint32_t>(rate) * 2, 4);
    word(2, 2);
    word(16, 2);
    out << "data";
    word(data, 4);
    for (const int16_t s : samples) word(static_cast<uint16_t>(s), 2);
    return static_cast<bool>(out);
}

}  // namespace veldra
