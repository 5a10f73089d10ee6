// Single instance: how one process finds the window of another copy of the program and
// asks it to come to the front.
//
// A top-level window that can be found keeps an InstanceListener: a thread listening on a
// Unix socket named after the display the program runs on, the window's class name and
// its title (so copies on other displays never meet), in a folder only the user can
// enter: $XDG_RUNTIME_DIR/veldra, or, without XDG_RUNTIME_DIR, veldra-<uid> in $TMPDIR or
// /tmp. Either is made with mode 0700 and used only when it is a folder (not a link), the
// user's own, closed to everybody else; so no other user can take the name first. When
// the folder cannot be used (another user made it first, ...) or the socket's path is too
// long for a socket's name, nothing is findable and the finder says why.
// findRunningWindow connects to that socket; bringRunningWindowForward asks the window to
// come to the front, with its owned windows when ownedToo.
//
// Starts at the same instant: the lookup and the bind are one step, under a lock on the
// private folder (flock). A finder that finds nobody binds the name right then, claimed
// for the window its process is about to make (startInstanceListener takes the claim
// over), so the next start to look finds it. Until the window has taken it, a request to
// come forward is answered at once: the new window comes up in front anyway.
//
// A socket that nobody listens on any more (its copy crashed) is stale: the finder does
// not count it, and the next listener removes it and takes its place. A copy that is
// there but does not answer within a second counts as found, and as not answering.
// Both ends also check who is at the other end (the kernel's peer credentials).
//
// Threads: the finder's calls on any thread; the listener's callback runs on its own
// thread (post a message from it, do not touch windows). Failure: false / null, with
// nothing left open.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace veldra {

// A connection to another process's window; closed by bringRunningWindowForward or
// closeRunningWindow.
struct RunningWindow {
    int connection = -1;  // -1 when the copy is there but would not even take a connection
    pid_t process = 0;    // the other copy's process, when known
};

// True, with found set, when a window with this class name and title runs in another
// process of this user on this display. False otherwise, the name then claimed for this
// process's window (see above); why, when given, is set to the reason the name cannot be
// kept at all ("" when it can).
bool findRunningWindow(std::string_view className, std::string_view title, RunningWindow& found,
                       std::string* why = nullptr);

// Asks the found window to come to the front; false when it did not answer within a
// second. Closes.
bool bringRunningWindowForward(RunningWindow& window, bool ownedToo);

void closeRunningWindow(RunningWindow& window);

class InstanceListener;
using BringForwardCallback = void (*)(void* context, bool ownedToo);

// Makes a window findable, taking over this process's claim on the name when there is
// one; null when another copy holds the name or the socket cannot be made.
// callback(context, ownedToo) runs on the listener's thread.
InstanceListener* startInstanceListener(std::string_view className, std::string_view title,
                                        BringForwardCallback callback, void* context);
// Stops listening and removes the socket.
void stopInstanceListener(InstanceListener* listener);

// The socket's path for a class name and title; empty, with why set when given, when there
// is no private folder to keep it in (it is made when missing) or the path is too long.
std::string instanceSocketPath(std::string_view className, std::string_view title,
                               std::string* why = nullptr);

// Sets a word that goes into every socket name, so that tests running side by side
// never find each other (the program leaves it empty).
void setInstanceNamespace(std::string_view word);

}  // namespace veldra
