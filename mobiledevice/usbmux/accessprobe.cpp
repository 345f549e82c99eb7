#include "accessprobe.h"

#include "results.h"

namespace plovik::usbmux {

namespace {

Access accessAfterRefusal(int error) {
    switch (error) {
        case LOCKDOWN_E_PASSWORD_PROTECTED:
            return Access::Locked;
        case LOCKDOWN_E_USER_DENIED_PAIRING:
            return Access::Denied;
        case LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING:
        case LOCKDOWN_E_INVALID_HOST_ID:
        case LOCKDOWN_E_MISSING_HOST_ID:
        case LOCKDOWN_E_INVALID_PAIR_RECORD:
        case LOCKDOWN_E_MISSING_PAIR_RECORD:
        case LOCKDOWN_E_INVALID_CONF:
        case LOCKDOWN_E_PAIRING_FAILED:
            return Access::Untrusted;
        default:
            return Access::Unreachable;
    }
}

// Results that only a (new) pairing can change: none held, or the device forgot this computer
// (its privacy settings were reset, or the record belongs to an earlier pairing).
bool needsPairing(int error) {
    return error == LOCKDOWN_E_MISSING_PAIR_RECORD || error == LOCKDOWN_E_INVALID_HOST_ID ||
           error == LOCKDOWN_E_INVALID_PAIR_RECORD || error == LOCKDOWN_E_INVALID_CONF;
}

}  // namespace

ProbeResult probeAccess(Device& device, Pairing& pairing, TrustRequest trustRequest) {
    int result = device.connect();
    if (result == kSuccess) {
        return {Access::Ready, 0};
    }
    if (!needsPairing(result)) {
        return {accessAfterRefusal(result), result};
    }
    if (trustRequest == TrustRequest::Withheld) {
        return {Access::Denied, LOCKDOWN_E_USER_DENIED_PAIRING};
    }
    result = pairing.request(device.idevice());
    if (result == kSuccess) {
        result = device.connect();
    }
    return result == kSuccess ? ProbeResult{Access::Ready, 0}
                              : ProbeResult{accessAfterRefusal(result), result};
}

}  // namespace plovik::usbmux
