// One attached device: its identity, what the last access probe found, and the lockdown
// connection and session that callers open around their work. Connections and sessions are
// counted, so two threads working on one device share them instead of closing them under each
// other; lockdown requests on the device are serialised.
#ifndef PLOVIK_USBMUX_DEVICE_H
#define PLOVIK_USBMUX_DEVICE_H

#include "lockdownclient.h"
#include "mobiledevice.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace plovik::usbmux {

class ServiceConnection;

class Device {
public:
    Device(std::string udid, Idevice idevice);

    const std::string& udid() const { return udid_; }
    idevice_t idevice() const { return idevice_.get(); }

    AMDeviceAccessState accessState() const { return accessState_; }
    void setAccessState(AMDeviceAccessState state) { accessState_ = state; }

    // After removal every lockdown call fails at once, without waiting for a socket to time out.
    void markGone() { gone_ = true; }
    bool isGone() const { return gone_; }

    // Results are 0 or a lockdownd_error_t / results.h code.
    int connect();
    int disconnect();
    int startSession();
    int stopSession();
    int copyValue(const char* domain, const char* key, plist_t* value);
    int startService(const char* name, std::shared_ptr<ServiceConnection>* service);

private:
    int requireSession() const;

    const std::string udid_;
    const Idevice idevice_;
    std::atomic<AMDeviceAccessState> accessState_{kAMDeviceAccessUntrusted};
    std::atomic<bool> gone_{false};

    std::mutex lockdownMutex_;
    LockdownClient lockdown_;
    int connections_ = 0;
    int sessions_ = 0;
    std::string sessionId_;
};

}  // namespace plovik::usbmux

#endif
