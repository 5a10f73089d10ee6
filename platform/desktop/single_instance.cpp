// Sections: the socket's place: the private folder and the name; finder; listener.
#include "platform/desktop/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace veldra {
namespace {

std::string nameSpace;  // setInstanceNamespace; empty in the program

constexpr char requestFront = 'F';
constexpr char answerDone = 'K';
constexpr int answerTimeoutMs = 1000;   // how long a finder waits for the connection and answer
constexpr int requestTimeoutMs = 1000;  // how long the listener waits for a request

// ---- the socket's place ----
// The folder for the sockets, made when missing; empty, with why set, when it is not safe
// to use.
std::string privateFolder(std::string& why) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder;
    if (runtime != nullptr && runtime[0] == '/') {
        folder = std::string(runtime) + "/veldra";
    } else {
        const char* temporary = std::getenv("TMPDIR");
        folder = temporary != nullptr && temporary[0] == '/' ? temporary : "/tmp";
        folder += "/veldra-" + std::to_string(getuid());
    }
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return why = folder + ": cannot be made (" + std::strerror(errno) + ")", "";
    // Whoever made it, it must be a folder, not a link, ours and closed to others.
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0)
        why = folder + ": " + std::strerror(errno);
    else if (S_ISLNK(st.st_mode))
        why = folder + " is a symbolic link";
    else if (!S_ISDIR(st.st_mode))
        why = folder + " is not a folder";
    else if (st.st_uid != getuid())
        why = folder + " belongs to another user";
    else if ((st.st_mode & 077) != 0)
        why = folder + " is open to other users";
    return why.empty() ? folder : "";
}

// FNV-1a: a short, fixed name for any class name and title.
uint64_t nameHash(const std::string& text) {
    uint64_t hash = 14695981039346656037u;
    for (const char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    return hash;
}

bool addressFor(const std::string& path, sockaddr_un& address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

void setTimeout(int fd, int option, int milliseconds) {
    timeval t{milliseconds / 1000, (milliseconds % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, option, &t, sizeof t);
}

// The process at the other end when it is this user's; 0 otherwise.
pid_t peerOfThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return 0;
    return peer.uid == getuid() ? peer.pid : 0;
}

// Connects to the socket at address: the connection, or -1 with errno set. A copy that
// would not take the connection within the time-out fails with EAGAIN.
int connectTo(const sockaddr_un& address) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // A full queue of waiting connections makes connect wait; this bounds it.
    setTimeout(fd, SO_SNDTIMEO, answerTimeoutMs);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
    const int e = errno;
    close(fd);
    errno = e;
    return -1;
}

}  // namespace

std::string instanceSocketPath(std::string_view className, std::string_view title,
                               std::string* why) {
    std::string reason;
    const std::string folder = privateFolder(reason);
    if (why != nullptr) *why = reason;
    if (folder.empty()) return "";
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (display == nullptr || *display == 0) display = std::getenv("DISPLAY");
    std::string name = nameSpace;
    for (const std::string_view part :
         {std::string_view(display != nullptr ? display : ""), className, title})
        name.append(1, '/').append(part);
    char file[40];
    std::snprintf(file, sizeof file, "/instance-%016" PRIx64, nameHash(name));
    const std::string path = folder + file;
    if (path.size() >= sizeof(sockaddr_un::sun_path)) {
        if (why != nullptr)
            *why = "the socket's path " + path + " is longer than a socket's name may be (" +
                   std::to_string(sizeof(sockaddr_un::sun_path) - 1) + " bytes)";
        return "";
    }
    return path;
}

void setInstanceNamespace(std::string_view word) {
    nameSpace = std::string(word);
}

// ---- listener ----
class InstanceListener {
  public:
    int socket = -1;
    std::string path;  // the socket's file, removed at the end
    std::mutex lock;   // guards callback and context: a claim is taken over by its window
    BringForwardCallback callback = nullptr;  // null while the name is claimed for a window
    void* context = nullptr;                  // to come
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
        if (peerOfThisUser(peer) == 0) return;
        setTimeout(peer, SO_RCVTIMEO, requestTimeoutMs);
        char request[2] = {};
        size_t got = 0;
        while (got < sizeof request) {
            const ssize_t n = recv(peer, request + got, sizeof request - got, 0);
            if (n <= 0) return;
            got += static_cast<size_t>(n);
        }
        if (request[0] != requestFront) return;
        {
            // A window still being made comes up in front anyway: answered at once.
            std::lock_guard<std::mutex> held(lock);
            if (callback != nullptr) callback(context, request[1] == '1');
        }
        const char done = answerDone;
        (void)send(peer, &done, 1, MSG_NOSIGNAL);
    }
};

namespace {

// The name this process has claimed and no window has taken yet (findRunningWindow).
std::mutex claimLock;
InstanceListener* claimed = nullptr;

// Starts of the program take turns from the lookup through the bind, by a lock on the
// private folder: whoever looks and finds nobody has bound the name before the next looks.
class FolderLock {
  public:
    explicit FolderLock(const std::string& socketPath) {
        const std::string folder = socketPath.substr(0, socketPath.rfind('/'));
        fd_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            close(fd_);
            fd_ = -1;
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Binds fd to the socket at address, taking the place of a stale one, and listens. Under
// the folder's lock.
bool listenTakingOverStale(int fd, const sockaddr_un& address, const std::string& path) {
    const auto* at = reinterpret_cast<const sockaddr*>(&address);
    bool bound = bind(fd, at, sizeof address) == 0;
    if (!bound && errno == EADDRINUSE) {
        const int other = connectTo(address);
        if (other >= 0) {
            close(other);  // a copy listens there
        } else if (errno == ECONNREFUSED && unlink(path.c_str()) == 0) {
            bound = bind(fd, at, sizeof address) == 0;
        }
    }
    // Room for the starts that queue up at once while the window is busy.
    const bool listening = bound && listen(fd, 32) == 0;
    if (bound && !listening) unlink(path.c_str());
    return listening;
}

// A listener on the name at path, answering with callback (null: at once, for a window to
// come); null when the name is taken or cannot be had. Under the folder's lock.
InstanceListener* listenAt(const std::string& path, const sockaddr_un& address,
                           BringForwardCallback callback, void* context) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    if (!listenTakingOverStale(fd, address, path)) {
        close(fd);
        return nullptr;
    }
    auto* listener = new InstanceListener;
    listener->socket = fd;
    listener->path = path;
    listener->callback = callback;
    listener->context = context;
    listener->thread = std::thread([listener] { listener->serve(); });
    return listener;
}

}  // namespace

// ---- finder ----
bool findRunningWindow(std::string_view className, std::string_view title, RunningWindow& found,
                       std::string* why) {
    sockaddr_un address;
    if (!addressFor(instanceSocketPath(className, title, why), address)) return false;
    const std::string path = address.sun_path;
    std::lock_guard<std::mutex> claiming(claimLock);
    // This process's own claim, from a start that made no window, is nobody else.
    if (claimed != nullptr && claimed->path == path) return false;
    const FolderLock lock(path);
    const int fd = connectTo(address);
    if (fd < 0) {
        if (errno == EAGAIN) {
            found = RunningWindow{};  // there, but would not even take the connection
            return true;
        }
        // Nobody there, or a stale socket (ECONNREFUSED): the name is this process's now,
        // bound before the lock lets the next start look.
        if (lock.held()) {
            if (claimed != nullptr) stopInstanceListener(claimed);
            claimed = listenAt(path, address, nullptr, nullptr);
        }
        return false;
    }
    found.process = peerOfThisUser(fd);
    if (found.process == 0) {
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

InstanceListener* startInstanceListener(std::string_view className, std::string_view title,
                                        BringForwardCallback callback, void* context) {
    if (callback == nullptr) return nullptr;
    const std::string path = instanceSocketPath(className, title);
    sockaddr_un address;
    if (!addressFor(path, address)) return nullptr;
    {
        // The name claimed when this start looked for another copy: the window takes it.
        std::lock_guard<std::mutex> claiming(claimLock);
        if (claimed != nullptr && claimed->path == path) {
            InstanceListener* listener = claimed;
            claimed = nullptr;
            std::lock_guard<std::mutex> held(listener->lock);
            listener->callback = callback;
            listener->context = context;
            return listener;
        }
    }
    const FolderLock lock(path);
    return lock.held() ? listenAt(path, address, callback, context) : nullptr;
}

void stopInstanceListener(InstanceListener* listener) {
    if (listener == nullptr) return;
    // The name goes first: once the socket stops listening, a new copy may take it over.
    unlink(listener->path.c_str());
    // Shutting a listening socket down wakes the accept that waits on it.
    shutdown(listener->socket, SHUT_RDWR);
    listener->thread.join();
    close(listener->socket);
    delete listener;
}

}  // namespace veldra
