// A lockdown session on a connection of its own, opened in the steps of libimobiledevice's
// lockdownd_client_new_with_handshake and ended as lockdownd_client_free ends it, but over a
// LockdownChannel, whose TLS handshake waits for the device's answer instead of sleeping.
// Pairing is not done here: without a pair record the session fails with
// LOCKDOWN_E_MISSING_PAIR_RECORD.
#ifndef PLOVIK_USBMUX_LOCKDOWNSESSION_H
#define PLOVIK_USBMUX_LOCKDOWNSESSION_H

#include "lockdownchannel.h"
#include "pairrecord.h"

#include <cstdint>
#include <memory>
#include <string>

namespace plovik::usbmux {

class LockdownSession {
public:
    // An iOS version as libimobiledevice packs it: major, minor and patch in one byte each.
    static constexpr uint32_t version(uint32_t major, uint32_t minor, uint32_t patch) {
        return (major << 16) | (minor << 8) | patch;
    }

    // QueryType; the device's iOS version when *iosVersion is 0 (kept there for later sessions);
    // ValidatePair on a device before iOS 7; StartSession with the pair record's HostID and
    // usbmuxd's BUID; TLS when the device asks for it, with the record's root certificate, TLS 1.0
    // only before iOS 10. Null with the lockdownd_error_t in *error when a step fails.
    static std::unique_ptr<LockdownSession> open(idevice_t device,
                                                 const SessionCredentials& credentials,
                                                 uint32_t* iosVersion, lockdownd_error_t* error);
    // StopSession, on a connection the device may have closed already.
    ~LockdownSession();
    LockdownSession(const LockdownSession&) = delete;
    LockdownSession& operator=(const LockdownSession&) = delete;

    // A copy of the value (the whole domain without a key), null when the device has none.
    lockdownd_error_t getValue(const char* domain, const char* key, plist_t* value);
    lockdownd_error_t startService(const char* name, lockdownd_service_descriptor* service);

private:
    explicit LockdownSession(std::unique_ptr<LockdownChannel> channel);
    // Sends request and receives the reply.
    lockdownd_error_t exchange(const PlistHandle& request, PlistHandle* reply);
    // exchange, then the reply checked as the answer to the request named name; reply is kept
    // either way.
    lockdownd_error_t exchangeChecked(const PlistHandle& request, const char* name,
                                      PlistHandle* reply);
    lockdownd_error_t queryType();
    void readIosVersion(uint32_t* iosVersion);
    lockdownd_error_t validatePair(const SessionCredentials& credentials);
    lockdownd_error_t startSession(const SessionCredentials& credentials, uint32_t iosVersion);

    std::unique_ptr<LockdownChannel> channel_;
    std::string sessionId_;
};

}  // namespace plovik::usbmux

#endif
