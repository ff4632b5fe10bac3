#include "platform/TerminationSignals.h"

#include <signal.h>

#include <initializer_list>

namespace quillet {

namespace {

volatile sig_atomic_t requested = 0;

extern "C" void onTerminationSignal(int signal) {
    if (requested) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    requested = signal;
}

}  // namespace

void catchTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: a signal must not turn a read or write into a failed file.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

bool terminationRequested() {
    return requested != 0;
}

}  // namespace quillet
