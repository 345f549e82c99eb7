#include "sigpipeguard.h"

#include <ctime>

namespace plovik::usbmux {

namespace {

sigset_t sigpipeOnly() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return set;
}

}  // namespace

SigpipeGuard::SigpipeGuard() {
    sigset_t pending;
    sigpending(&pending);
    // A SIGPIPE that was already pending belongs to someone else: leave it for them.
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    const sigset_t block = sigpipeOnly();
    pthread_sigmask(SIG_BLOCK, &block, &previousMask_);
}

SigpipeGuard::~SigpipeGuard() {
    if (!wasPending_) {
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1) {
            const sigset_t set = sigpipeOnly();
            const timespec noWait{0, 0};
            sigtimedwait(&set, nullptr, &noWait);
        }
    }
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace plovik::usbmux
