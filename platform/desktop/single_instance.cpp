#include "platform/desktop/single_instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace veldra {
namespace {

std::string nameSpace;  // setInstanceNamespace; empty in the program

constexpr char requestFront = 'F';
constexpr char answerDone = 'K';
constexpr int answerTimeoutMs = 2000;   // how long a finder waits for the answer
constexpr int requestTimeoutMs = 1000;  // how long the listener waits for a request

sockaddr_un addressFor(const std::string& name, socklen_t& length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // Abstract namespace: a zero byte, then the name (cut to fit).
    const size_t room = sizeof(address.sun_path) - 1;
    const size_t size = name.size() < room ? name.size() : room;
    std::memcpy(address.sun_path + 1, name.data(), size);
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
    return address;
}

void setTimeout(int fd, int option, int milliseconds) {
    timeval t{milliseconds / 1000, (milliseconds % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, option, &t, sizeof t);
}

bool peerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return false;
    return peer.uid == getuid();
}

}  // namespace

std::string instanceSocketName(std::string_view className, std::string_view title) {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (display == nullptr || *display == 0) display = std::getenv("DISPLAY");
    std::string name = "veldra/";
    name += nameSpace;
    name += '/';
    name += std::to_string(getuid());
    name += '/';
    name += display != nullptr ? display : "";
    name += '/';
    name += className;
    name += '/';
    name += title;
    return name;
}

void setInstanceNamespace(std::string_view word) {
    nameSpace = std::string(word);
}

bool findRunningWindow(std::string_view className, std::string_view title, RunningWindow& found) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    socklen_t length = 0;
    const sockaddr_un address = addressFor(instanceSocketName(className, title), length);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        !peerIsThisUser(fd)) {
        close(fd);
        return false;
    }
    found.connection = fd;
    return true;
}

bool bringRunningWindowForward(RunningWindow& window, bool ownedToo) {
    if (window.connection < 0) return false;
    const char request[2] = {requestFront, ownedToo ? '1' : '0'};
    bool answered = false;
    if (send(window.connection, request, sizeof request, MSG_NOSIGNAL) == sizeof request) {
        setTimeout(window.connection, SO_RCVTIMEO, answerTimeoutMs);
        char answer = 0;
        answered = recv(window.connection, &answer, 1, 0) == 1 && answer == answerDone;
    }
    closeRunningWindow(window);
    return answered;
}

void closeRunningWindow(RunningWindow& window) {
    if (window.connection >= 0) close(window.connection);
    window.connection = -1;
}

class InstanceListener {
  public:
    int socket = -1;
    BringForwardCallback callback = nullptr;
    void* context = nullptr;
    std::thread thread;

    void serve() {
        for (;;) {
            const int peer = accept4(socket, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer < 0) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                return;  // shut down by stopInstanceListener
            }
            answer(peer);
            close(peer);
        }
    }

    void answer(int peer) {
        if (!peerIsThisUser(peer)) return;
        setTimeout(peer, SO_RCVTIMEO, requestTimeoutMs);
        char request[2] = {};
        size_t got = 0;
        while (got < sizeof request) {
            const ssize_t n = recv(peer, request + got, sizeof request - got, 0);
            if (n <= 0) return;
            got += static_cast<size_t>(n);
        }
        if (request[0] != requestFront) return;
        callback(context, request[1] == '1');
        const char done = answerDone;
        (void)send(peer, &done, 1, MSG_NOSIGNAL);
    }
};

InstanceListener* startInstanceListener(std::string_view className, std::string_view title,
                                        BringForwardCallback callback, void* context) {
    if (callback == nullptr) return nullptr;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    socklen_t length = 0;
    const sockaddr_un address = addressFor(instanceSocketName(className, title), length);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return nullptr;
    }
    auto* listener = new InstanceListener;
    listener->socket = fd;
    listener->callback = callback;
    listener->context = context;
    listener->thread = std::thread([listener] { listener->serve(); });
    return listener;
}

void stopInstanceListener(InstanceListener* listener) {
    if (listener == nullptr) return;
    // Shutting a listening socket down wakes the accept that waits on it.
    shutdown(listener->socket, SHUT_RDWR);
    listener->thread.join();
    close(listener->socket);
    delete listener;
}

}  // namespace veldra
