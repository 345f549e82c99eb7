// Keeps SIGPIPE away from the process while the calling thread writes to a device socket.
// libusbmuxd sends with MSG_NOSIGNAL, but libimobiledevice's TLS layer writes through OpenSSL's
// socket BIO, and a device unplugged during a TLS session (every lockdown session of a current
// iOS) would otherwise end the whole program. The signal is blocked for this thread only and a
// SIGPIPE raised meanwhile is consumed before the mask is restored.
#ifndef PLOVIK_USBMUX_SIGPIPEGUARD_H
#define PLOVIK_USBMUX_SIGPIPEGUARD_H

#include <signal.h>

namespace plovik::usbmux {

class SigpipeGuard {
public:
    SigpipeGuard();
    ~SigpipeGuard();
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

private:
    sigset_t previousMask_;
    bool wasPending_ = false;
};

}  // namespace plovik::usbmux

#endif
