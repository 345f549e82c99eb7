// Finds out whether an attached device allows a lockdown session, the test the library makes
// before it reports a device as arrived, and again every few seconds while it does not.
#ifndef PLOVIK_USBMUX_ACCESSPROBE_H
#define PLOVIK_USBMUX_ACCESSPROBE_H

#include "device.h"
#include "pairing.h"

namespace plovik::usbmux {

enum class Access {
    Ready,        // a session opened
    Locked,       // passcode-locked: no pairing until the user unlocks
    Untrusted,    // no pairing yet: the Trust dialog is waiting for the user
    Denied,       // the user tapped Don't Trust
    Unreachable,  // lockdown did not answer as lockdown does
};

enum class TrustRequest { Allowed, Withheld };

struct ProbeResult {
    Access access;
    int code;  // the lockdown result that decided, 0 when ready
};

// Ready leaves the device connected, its session open, for the caller to disconnect once the
// arrival was announced: whoever reads the device's values then meanwhile shares that session.
// With TrustRequest::Allowed and no usable pairing, pairing asks for one (see pairing.h).
// Withhold it once the user refused, so the phone is not asked again until it is plugged in again.
ProbeResult probeAccess(Device& device, Pairing& pairing, TrustRequest trustRequest);

}  // namespace plovik::usbmux

#endif
