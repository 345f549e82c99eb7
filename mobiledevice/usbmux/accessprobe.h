// Finds out whether an attached device allows a lockdown session, the test the library makes
// before it reports a device as arrived, and again every few seconds while it does not.
#ifndef PLOVIK_USBMUX_ACCESSPROBE_H
#define PLOVIK_USBMUX_ACCESSPROBE_H

#include <libimobiledevice/libimobiledevice.h>

#include <string>

namespace plovik::usbmux {

enum class Access {
    Ready,        // a session opened
    Locked,       // passcode-locked: no session and no pairing until the user unlocks
    Untrusted,    // no pairing, or the device does not accept ours
    Unreachable,  // lockdown did not answer as lockdown does
};

enum class TrustRequest { Allowed, Withheld };

struct ProbeResult {
    Access access;
    int code;  // the lockdown result that decided, 0 when ready
};

// With TrustRequest::Allowed and no usable pairing, a Pair request is sent: that request is what
// makes iOS show "Trust This Computer?", and repeating it is how the answer is learnt (pending,
// accepted: the record is saved through usbmuxd, refused). Withhold it once the user refused, so
// the phone is not asked again until it is plugged in again.
ProbeResult probeAccess(idevice_t device, TrustRequest trustRequest);

}  // namespace plovik::usbmux

#endif
