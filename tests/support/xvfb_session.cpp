#include "tests/support/xvfb_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace veldra {
namespace {

using Clock = std::chrono::steady_clock;

// Ignores X errors (a window vanishing between listing and reading it), so that the
// caller sees a failed call instead of the process ending.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

// The whole-number scale and the black bars of the 240 x 320 screen in the window.
struct Layout {
    int scale = 1, offsetX = 0, offsetY = 0, width = 0, height = 0;
};

bool layoutOf(Display* display, unsigned long window, Layout& l) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) == 0) return false;
    l.width = attributes.width, l.height = attributes.height;
    l.scale = std::max(1, std::min(l.width / 240, l.height / pictureRows));
    l.offsetX = (l.width - 240 * l.scale) / 2, l.offsetY = (l.height - pictureRows * l.scale) / 2;
    return true;
}

}  // namespace

XvfbSession::~XvfbSession() {
    if (connection_ != nullptr) XCloseDisplay(connection_);
    if (server_ > 0) ::kill(server_, SIGTERM), waitpid(server_, nullptr, 0);
}

bool XvfbSession::start(std::string& why, const std::string& screenSize) {
    const std::string geometry = screenSize + "x24";
    int ready[2];
    if (pipe(ready) != 0) return why = "no pipe for Xvfb's display number", false;
    const std::string fd = std::to_string(ready[1]);
    server_ = fork();
    if (server_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the test
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO), dup2(null, STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", geometry.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    char c = 0;
    pollfd p{ready[0], POLLIN, 0};
    while (server_ > 0 && poll(&p, 1, 20000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (number.empty()) return why = "Xvfb did not start (is the xvfb package installed?)", false;
    display_ = ":" + number;
    XSetErrorHandler(ignoreXError);
    connection_ = XOpenDisplay(display_.c_str());
    return connection_ != nullptr || (why = "cannot connect to Xvfb on " + display_, false);
}

ChildProcess::~ChildProcess() {
    kill();
    if (!outputFile_.empty()) unlink(outputFile_.c_str());
}

bool ChildProcess::start(const std::vector<std::string>& arguments,
                         const std::vector<std::string>& extra, std::string& why) {
    if (!outputFile_.empty()) unlink(outputFile_.c_str());  // a child started before
    char name[] = "/tmp/veldra-child-output-XXXXXX";
    const int outputFd = mkstemp(name);
    if (outputFd < 0) return why = "no file for the child's output", false;
    outputFile_ = name;
    // Everything the child needs is built before fork.
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
        environment.emplace_back(*e);
    for (const std::string& x : extra) {
        std::erase_if(environment, [&](const std::string& e) {
            return e.rfind(x.substr(0, x.find('=') + 1), 0) == 0;
        });
        environment.push_back(x);
    }
    std::vector<char*> argv, envp;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr), envp.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(outputFd, STDOUT_FILENO), dup2(outputFd, STDERR_FILENO);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(outputFd);
    return pid_ > 0 || (why = "cannot fork", false);
}

std::optional<int> ChildProcess::wait(int timeoutMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (int status = 0; pid_ > 0; std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() >= until) break;
    }
    return std::nullopt;
}

void ChildProcess::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string ChildProcess::errorOutput() const {
    std::ifstream in(outputFile_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool xdotool(const XvfbSession& session, const std::vector<std::string>& arguments,
             std::string* why, int timeoutMs, std::string* output) {
    std::vector<std::string> command{"xdotool"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    ChildProcess tool;
    std::string failure;
    const bool started = tool.start(command, {"DISPLAY=" + session.display()}, failure);
    const int status = started ? tool.wait(timeoutMs).value_or(-1) : -1;  // -1: no start, or no end
    if (output != nullptr) *output = tool.errorOutput();
    if (status == 0) return true;
    if (why != nullptr) {
        *why = failure.empty() ? "xdotool" : failure;
        for (const std::string& a : arguments)
            why->append(1, ' ').append(a);
        why->append(status >= 0 ? ": exit status " + std::to_string(status) : ": no end in time")
            .append("\n");
        why->append(tool.errorOutput());
    }
    return false;
}

bool focusWindow(const XvfbSession& session, unsigned long window) {
    return xdotool(session, {"windowfocus", "--sync", std::to_string(window)});
}

unsigned long findWindow(const XvfbSession& session, const std::string& name, int timeoutMs) {
    std::string found;
    xdotool(session, {"search", "--sync", "--onlyvisible", "--name", "^" + name + "$"}, nullptr,
            timeoutMs, &found);
    return std::strtoul(found.c_str(), nullptr, 10);
}

bool readScreen(const XvfbSession& session, unsigned long window, std::vector<uint16_t>& screen) {
    Display* display = session.connection();
    Layout l;
    if (!layoutOf(display, window, l)) return false;
    XImage* image = XGetImage(display, window, 0, 0, l.width, l.height, AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    screen.assign(240 * pictureRows, 0);
    for (int y = 0; y < pictureRows; ++y) {
        for (int x = 0; x < 240; ++x) {
            // The server runs at 24 bits: 8 bits a channel, red highest.
            const unsigned long p = XGetPixel(image, l.offsetX + x * l.scale + l.scale / 2,
                                              l.offsetY + y * l.scale + l.scale / 2);
            screen[y * 240 + x] = static_cast<uint16_t>(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) |
                                                        ((p >> 3) & 0x1F));
        }
    }
    XDestroyImage(image);
    return true;
}

void windowPoint(const XvfbSession& session, unsigned long window, int x, int y, int& wx, int& wy) {
    Layout l;
    layoutOf(session.connection(), window, l);
    wx = l.offsetX + x * l.scale + l.scale / 2;
    wy = l.offsetY + y * l.scale + l.scale / 2;
}

double processorSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(in, text);
    // Fields after the command's closing parenthesis; utime and stime are the 14th and 15th.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i >= 14) ticks += std::stoull(field);
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace veldra
