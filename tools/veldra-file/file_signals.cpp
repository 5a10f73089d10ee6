#include "tools/veldra-file/file_signals.h"

#include <signal.h>
#include <unistd.h>

namespace veldra {
namespace {

volatile sig_atomic_t caught = 0;  // set by the handler, read by the run
constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP};

void note(int signal) {
    if (caught == 0) caught = signal;
}

sigset_t endingSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : endingSignals)
        sigaddset(&set, s);
    return set;
}

}  // namespace

void catchEndingSignals() {
    struct sigaction action {};
    action.sa_handler = note;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // a second signal is not caught: the user insists
    for (const int s : endingSignals) {
        struct sigaction before {};
        if (sigaction(s, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(s, &action, nullptr);
    }
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

int endingSignal() {
    return caught;
}

void holdEndingSignals(bool hold) {
    const sigset_t set = endingSet();
    sigprocmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

void endBySignal(int signalNumber) {
    signal(signalNumber, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signalNumber);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);  // only if the default action did not end the program
}

}  // namespace veldra
