#include "interruption.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t requestedSignal = 0;

void note(int signal) {
    requestedSignal = signal;
}

}  // namespace

void Interruption::install() {
    struct sigaction action {};
    action.sa_handler = note;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait for a child returns, so that the child can be ended.
    action.sa_flags = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool Interruption::requested() {
    return requestedSignal != 0;
}

void Interruption::check() {
    if (requested())
        throw Interrupted();
}
