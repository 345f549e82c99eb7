// One attached device: its identity, what the last access probe found, and the lockdown
// connection that callers open around their work.
//
// A lockdown connection of this library always carries a session: the first connect opens one
// (a LockdownSession: QueryType, the iOS version on the device's first connection, the pair
// record, StartSession, and TLS on a real device, at the TLS version the iOS version allows). Connections and sessions are counted, so nested and concurrent uses share the
// one session. After the last disconnect the session is kept for a few seconds (kSessionLinger),
// so that the next connect of a burst of work (a listing after the snapshot, one more service)
// does not pay for another TLS handshake; a connect after that opens a fresh one, and a kept
// session the device has dropped meanwhile is replaced once when a service fails on it. A
// connection whose session was stopped is never used again: after StopSession a device's TLS
// close_notify stays in the socket and the next plain reply on it would fail. Lockdown requests
// are serialised.
//
// A device that allows no session (locked, untrusted) still answers, without one, the public
// values the watcher read from it (see publicvalues.h); nothing else.
#ifndef PLOVIK_USBMUX_DEVICE_H
#define PLOVIK_USBMUX_DEVICE_H

#include "lockdownclient.h"
#include "lockdownsession.h"
#include "mobiledevice.h"
#include "sessionvalues.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace plovik::usbmux {

class ServiceConnection;

class Device {
public:
    static constexpr std::chrono::seconds kSessionLinger{5};

    Device(std::string udid, Idevice idevice);
    // Ends a kept session, on a connection the device may have closed already.
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const std::string& udid() const { return udid_; }
    idevice_t idevice() const { return idevice_.get(); }

    AMDeviceAccessState accessState() const { return accessState_; }
    void setAccessState(AMDeviceAccessState state) { accessState_ = state; }

    // After removal every lockdown call fails at once, without waiting for a socket to time out.
    void markGone() { gone_ = true; }
    bool isGone() const { return gone_; }

    // Results are 0 or a lockdownd_error_t / results.h code. connect fails with
    // LOCKDOWN_E_MISSING_PAIR_RECORD when this computer holds no pairing with the device: pairing
    // is the access probe's business, never a side effect of a connection.
    int connect();
    int disconnect();
    int startSession();
    int stopSession();
    // Values come from the session's SessionValues: a domain is read whole once per session.
    // Outside a session, a device that is not ready answers from its public values.
    int copyValue(const char* domain, const char* key, plist_t* value);
    // The dictionary readPublicValues gave; the device owns it from here.
    void setPublicValues(plist_t values);
    int startService(const char* name, std::shared_ptr<ServiceConnection>* service);

private:
    int openSession();
    // Whether the session kept since the last disconnect may serve the next connect.
    bool keptSessionServes() const;
    int requireSession() const;
    int copyPublicValue(const char* domain, const char* key, plist_t* value) const;

    const std::string udid_;
    const Idevice idevice_;
    std::atomic<AMDeviceAccessState> accessState_{kAMDeviceAccessConnecting};
    std::atomic<bool> gone_{false};

    std::mutex lockdownMutex_;
    std::unique_ptr<LockdownSession> lockdown_;
    // Read on the first session (LockdownSession::version), 0 until then.
    uint32_t iosVersion_ = 0;
    int connections_ = 0;
    std::chrono::steady_clock::time_point lastDisconnect_;
    // The session was kept from an earlier connection: a failure on it may be its staleness.
    bool sessionKept_ = false;
    int sessions_ = 0;
    SessionValues values_;
    PlistHandle publicValues_;
};

}  // namespace plovik::usbmux

#endif
