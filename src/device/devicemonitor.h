#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "device/mobiledevice.h"

class AMDevice;
class MobileDeviceAccessListener;

/**
 * Watches devices arrive and leave (one instance per process). Notifications come on a thread of
 * the MobileDevice library; there each arriving device is built (connected, snapshot read) and
 * duplicates by UniqueDeviceID are dropped, then the listener hears of it through the dispatcher.
 *
 * A device that is attached but not ready (connecting, locked, untrusted) is reported at once,
 * with its access state; when that state changes, or the device allows a session, that object is
 * reported removed and a new one (a complete one once ready) connected.
 */
class DeviceMonitor {
public:
    /** Runs a call on the listener's thread, calls in the order they were posted. */
    using Dispatcher = std::function<void(std::function<void()>)>;

    static DeviceMonitor& instance();

    void setListener(MobileDeviceAccessListener* listener);
    /** Without one, the listener is called on the notification thread. */
    void setDispatcher(Dispatcher dispatcher);
    /** Subscribes once; throws the CZelboString "AMDeviceNotificationSubscribe faield with
        error %d" when the library refuses. */
    void startListening();
    bool isListening() const;

    /** The devices attached now, in arrival order. */
    std::vector<std::shared_ptr<AMDevice>> devices() const;

    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

private:
    DeviceMonitor() = default;

    static void notificationCallback(const AMDeviceNotificationInfo* info, void* context);
    void deviceArrived(AMDeviceRef handle);
    void deviceNotReady(AMDeviceRef handle);
    void deviceRemoved(AMDeviceRef handle);
    /** Unlists the device of handle when condition holds for it, and reports it removed. */
    void removeDevice(AMDeviceRef handle, const std::function<bool(const AMDevice&)>& condition);
    /** Appends device unless its UniqueDeviceID is listed; false when it was a duplicate. */
    bool addDevice(const std::shared_ptr<AMDevice>& device);
    void post(void (MobileDeviceAccessListener::*event)(const std::shared_ptr<AMDevice>&),
              std::shared_ptr<AMDevice> device);

    mutable std::mutex mutex_;
    MobileDeviceAccessListener* listener_ = nullptr;
    Dispatcher dispatcher_;
    bool listening_ = false;
    AMDeviceNotificationRef notification_ = nullptr;
    // Shared with the listener: a device stays valid here until its removal, whatever the
    // listener does with its share.
    std::vector<std::shared_ptr<AMDevice>> devices_;
};
