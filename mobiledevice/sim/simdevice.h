#ifndef PLOVIK_SIM_SIMDEVICE_H
#define PLOVIK_SIM_SIMDEVICE_H

#include "devicefolder.h"
#include "plistnodes.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plovik::sim {

class ServiceConnection;

// One attached simulated device: its lockdown state (connections, sessions, access state) and
// the services started on it. Once removed ("gone") every call fails; open services are cut.
// Results are SimError codes.
class SimDevice {
public:
    explicit SimDevice(std::unique_ptr<DeviceFolder> folder);

    const std::string& uniqueDeviceId() const { return folder_->uniqueDeviceId(); }
    const DeviceFolder& folder() const { return *folder_; }

    int accessState() const;
    // Returns the state before the change.
    int setAccessState(int state);

    bool isGone() const;
    void markGone();

    // Connections and sessions are counted, so that frames opened by several threads at once
    // nest instead of closing each other's.
    int connect();
    int disconnect();
    int startSession();
    int stopSession();
    // kSimSuccess inside a session; the reason otherwise.
    int checkSession() const;

    // Inside a session; a device that is not ready gives its public values without one.
    PlistPtr copyValue(plist_t domain, plist_t key) const;

    // The service is cut when the device is removed; false when it is gone already.
    bool addService(const std::shared_ptr<ServiceConnection>& service);

private:
    int checkPresent() const;
    int checkSessionLocked() const;
    PlistPtr publicValue(plist_t key) const;

    mutable std::mutex mutex_;
    std::unique_ptr<DeviceFolder> folder_;
    int accessState_;
    bool gone_ = false;
    int connections_ = 0;
    int sessions_ = 0;
    std::vector<std::weak_ptr<ServiceConnection>> services_;
};

}  // namespace plovik::sim

#endif
