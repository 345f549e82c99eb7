#ifndef PLOVIK_SIM_SIMULATOR_H
#define PLOVIK_SIM_SIMULATOR_H

#include "afcconnection.h"
#include "entrycursor.h"
#include "handletable.h"
#include "notificationhub.h"
#include "serviceconnection.h"
#include "simcontrols.h"
#include "simdevice.h"

#include "device/mobiledevice.h"

#include <memory>
#include <mutex>

namespace plovik::sim {

// The library's state: attached devices, the objects behind every handle given out, the
// notification thread and the test controls. Attaching, detaching and subscribing are
// serialised, so every subscriber sees each device arrive once and before it leaves.
class Simulator {
public:
    static Simulator& instance();

    SimControls& controls() { return controls_; }
    HandleTable<SimDevice, AMDeviceRef>& devices() { return devices_; }
    HandleTable<ServiceConnection, AMDServiceConnectionRef>& services() { return services_; }
    HandleTable<AfcConnection, AFCConnectionRef>& afcConnections() { return afcConnections_; }
    HandleTable<EntryCursor, AFCDirectoryRef>& directories() { return directories_; }
    HandleTable<EntryCursor, AFCDictionaryRef>& fileInfos() { return fileInfos_; }

    // Results of these are PlovikSimResult codes.
    int subscribe(AMDeviceNotificationCallback callback, void* context,
                  AMDeviceNotificationRef* notification);
    int attach(const char* folder);
    int detach(const char* uniqueDeviceId);
    int setAccessState(const char* uniqueDeviceId, int state);
    int flushNotifications();
    void reset();

private:
    Simulator() = default;

    // The attached device with this identifier; the handle is null when there is none.
    std::pair<AMDeviceRef, std::shared_ptr<SimDevice>> findAttached(const char* uniqueDeviceId);
    void detachLocked(AMDeviceRef handle, const std::shared_ptr<SimDevice>& device);

    std::mutex lifecycleMutex_;
    SimControls controls_;
    HandleTable<SimDevice, AMDeviceRef> devices_;
    HandleTable<ServiceConnection, AMDServiceConnectionRef> services_;
    HandleTable<AfcConnection, AFCConnectionRef> afcConnections_;
    HandleTable<EntryCursor, AFCDirectoryRef> directories_;
    HandleTable<EntryCursor, AFCDictionaryRef> fileInfos_;
    NotificationHub notifications_;  // last: its thread stops before the rest goes
};

}  // namespace plovik::sim

#endif
