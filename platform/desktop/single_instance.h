// Single instance: how one process finds the window of another copy of the program and
// asks it to come to the front.
//
// A top-level window that can be found keeps an InstanceListener: a thread listening on
// an abstract-namespace Unix socket named after the user, the display the program runs
// on, the window's class name and its title (so copies on other displays or of other
// users never meet). findRunningWindow connects to that name; bringRunningWindowForward
// asks the window to come to the front, with its owned windows when ownedToo.
//
// Both ends check who is at the other end (the kernel's peer credentials): a listener
// ignores requests from other users, and a finder does not count a socket that another
// user holds as a running copy. Nothing lives in the file system, so nothing is left
// behind by a crash.
//
// Threads: the finder's calls on any thread; the listener's callback runs on its own
// thread (post a message from it, do not touch windows). Failure: false / null, with
// nothing left open.
#pragma once

#include <string>
#include <string_view>

namespace veldra {

// A connection to another process's window; closed by bringRunningWindowForward or
// closeRunningWindow.
struct RunningWindow {
    int connection = -1;
};

// True, with found connected, when a window with this class name and title runs in
// another process of this user on this display.
bool findRunningWindow(std::string_view className, std::string_view title, RunningWindow& found);

// Asks the found window to come to the front; false when it did not answer. Closes.
bool bringRunningWindowForward(RunningWindow& window, bool ownedToo);

void closeRunningWindow(RunningWindow& window);

class InstanceListener;
using BringForwardCallback = void (*)(void* context, bool ownedToo);

// Makes a window findable; null when the name is taken (another copy holds it) or the
// socket cannot be made. callback(context, ownedToo) runs on the listener's thread.
InstanceListener* startInstanceListener(std::string_view className, std::string_view title,
                                        BringForwardCallback callback, void* context);
void stopInstanceListener(InstanceListener* listener);

// The socket name (without the leading zero byte) for a class name and title.
std::string instanceSocketName(std::string_view className, std::string_view title);

// Sets a word that goes into every socket name, so that tests running side by side
// never find each other (the program leaves it empty).
void setInstanceNamespace(std::string_view word);

}  // namespace veldra
