#include "accessprobe.h"

#include "lockdownclient.h"
#include "pairrecord.h"
#include "sigpipeguard.h"

#include <cstdlib>
#include <memory>

namespace plovik::usbmux {

namespace {

Access accessAfterRefusal(lockdownd_error_t error) {
    switch (error) {
        case LOCKDOWN_E_PASSWORD_PROTECTED:
            return Access::Locked;
        case LOCKDOWN_E_USER_DENIED_PAIRING:
        case LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING:
        case LOCKDOWN_E_INVALID_HOST_ID:
        case LOCKDOWN_E_MISSING_HOST_ID:
        case LOCKDOWN_E_INVALID_PAIR_RECORD:
        case LOCKDOWN_E_MISSING_PAIR_RECORD:
        case LOCKDOWN_E_INVALID_CONF:
            return Access::Untrusted;
        default:
            return Access::Unreachable;
    }
}

// Without a usable pairing nothing but a Pair request can change the answer, so every failure of
// it short of "locked" leaves the device untrusted.
ProbeResult requestTrust(lockdownd_client_t client) {
    const lockdownd_error_t error = lockdownd_pair(client, nullptr);
    if (error == LOCKDOWN_E_SUCCESS) {
        return {Access::Ready, 0};
    }
    return {error == LOCKDOWN_E_PASSWORD_PROTECTED ? Access::Locked : Access::Untrusted, error};
}

lockdownd_error_t startSession(lockdownd_client_t client, const std::string& hostId) {
    char* sessionId = nullptr;
    const lockdownd_error_t error =
        lockdownd_start_session(client, hostId.c_str(), &sessionId, nullptr);
    // The client remembers the session and stops it when it is freed.
    std::free(sessionId);
    return error;
}

}  // namespace

ProbeResult probeAccess(idevice_t device, TrustRequest trustRequest) {
    const SigpipeGuard sigpipeGuard;
    char* rawUdid = nullptr;
    idevice_get_udid(device, &rawUdid);
    const std::unique_ptr<char, decltype(&std::free)> udid(rawUdid, &std::free);
    if (!udid) {
        return {Access::Unreachable, LOCKDOWN_E_INVALID_ARG};
    }

    lockdownd_client_t rawClient = nullptr;
    lockdownd_error_t error = lockdownd_client_new(device, &rawClient, "plovik");
    const LockdownClient client(rawClient);
    if (error != LOCKDOWN_E_SUCCESS) {
        return {Access::Unreachable, error};
    }
    char* type = nullptr;
    error = lockdownd_query_type(client.get(), &type);
    std::free(type);
    if (error != LOCKDOWN_E_SUCCESS) {
        return {Access::Unreachable, error};
    }

    std::optional<std::string> hostId = readPairRecordHostId(udid.get());
    if (!hostId) {
        if (trustRequest == TrustRequest::Withheld) {
            return {Access::Untrusted, LOCKDOWN_E_MISSING_PAIR_RECORD};
        }
        const ProbeResult trust = requestTrust(client.get());
        if (trust.access != Access::Ready) {
            return trust;
        }
        hostId = readPairRecordHostId(udid.get());
        if (!hostId) {
            return {Access::Untrusted, LOCKDOWN_E_MISSING_PAIR_RECORD};
        }
    }

    error = startSession(client.get(), *hostId);
    if (error == LOCKDOWN_E_INVALID_HOST_ID && trustRequest == TrustRequest::Allowed) {
        // The device forgot this computer (its privacy settings were reset): asking again with
        // the record we hold is the way back to a trusted state.
        const ProbeResult trust = requestTrust(client.get());
        if (trust.access != Access::Ready) {
            return trust;
        }
        error = startSession(client.get(), *hostId);
    }
    if (error != LOCKDOWN_E_SUCCESS) {
        return {accessAfterRefusal(error), error};
    }
    return {Access::Ready, 0};
}

}  // namespace plovik::usbmux
