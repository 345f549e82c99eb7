#include "device/devicemonitor.h"

#include <algorithm>

#include "device/amdevice.h"
#include "device/mobiledeviceaccesslistener.h"
#include "device/mobiledevicecalls.h"

DeviceMonitor& DeviceMonitor::instance() {
    // Never destroyed: the library's thread may deliver events while the process exits.
    static DeviceMonitor* const monitor = new DeviceMonitor;
    return *monitor;
}

void DeviceMonitor::setListener(MobileDeviceAccessListener* listener) {
    const std::lock_guard lock(mutex_);
    listener_ = listener;
}

void DeviceMonitor::setDispatcher(Dispatcher dispatcher) {
    const std::lock_guard lock(mutex_);
    dispatcher_ = std::move(dispatcher);
}

bool DeviceMonitor::isListening() const {
    const std::lock_guard lock(mutex_);
    return listening_;
}

void DeviceMonitor::startListening() {
    const std::lock_guard lock(mutex_);
    if (listening_)
        return;
    const int result = MobileDevice::AMDeviceNotificationSubscribe(&notificationCallback, 0, 0,
                                                                   this, &notification_);
    if (result != 0) {
        CZelboString text;
        text.format(u"AMDeviceNotificationSubscribe faield with error %d", result);
        throw text;
    }
    listening_ = true;
}

std::vector<std::shared_ptr<AMDevice>> DeviceMonitor::devices() const {
    const std::lock_guard lock(mutex_);
    return devices_;
}

void DeviceMonitor::notificationCallback(const AMDeviceNotificationInfo* info, void* context) {
    if (info == nullptr || context == nullptr)
        return;
    auto* monitor = static_cast<DeviceMonitor*>(context);
    switch (info->message) {
        case kAMDeviceArrived:
            monitor->deviceArrived(info->device);
            break;
        case kAMDeviceNotReady:
            monitor->deviceNotReady(info->device);
            break;
        case kAMDeviceRemoved:
            monitor->deviceRemoved(info->device);
            break;
        default:
            break;
    }
}

void DeviceMonitor::deviceArrived(AMDeviceRef handle) {
    CZelboString error;
    std::shared_ptr<AMDevice> device = AMDevice::attach(handle, error);
    // A device reported while not ready is complete now: its placeholder leaves first, right
    // before the complete one comes (the snapshot is read meanwhile it still stands).
    removeDevice(handle, [](const AMDevice& listed) {
        return listed.accessState() != kAMDeviceAccessReady;
    });
    if (!device || !addDevice(device))
        return;
    post(&MobileDeviceAccessListener::onDeviceConnected, std::move(device));
}

void DeviceMonitor::deviceNotReady(AMDeviceRef handle) {
    std::shared_ptr<AMDevice> device = AMDevice::attachNotReady(handle);
    {
        const std::lock_guard lock(mutex_);
        const bool unchanged =
            std::any_of(devices_.begin(), devices_.end(), [&](const auto& known) {
                return known->deviceHandle() == handle &&
                       (known->accessState() == kAMDeviceAccessReady ||
                        known->accessState() == device->accessState());
            });
        if (unchanged)
            return;
    }
    // A placeholder whose state changed (connecting, then waiting for Trust...) is replaced, so
    // that the listener shows why the device is not ready now.
    removeDevice(handle, [](const AMDevice& listed) {
        return listed.accessState() != kAMDeviceAccessReady;
    });
    if (!addDevice(device))
        return;
    post(&MobileDeviceAccessListener::onDeviceConnected, std::move(device));
}

void DeviceMonitor::deviceRemoved(AMDeviceRef handle) {
    removeDevice(handle, [](const AMDevice&) { return true; });
}

void DeviceMonitor::removeDevice(AMDeviceRef handle,
                                 const std::function<bool(const AMDevice&)>& condition) {
    std::shared_ptr<AMDevice> removed;
    {
        const std::lock_guard lock(mutex_);
        const auto found = std::find_if(devices_.begin(), devices_.end(), [&](const auto& device) {
            return device->deviceHandle() == handle;
        });
        if (found == devices_.end() || !condition(**found))
            return;
        removed = *found;
        devices_.erase(found);
    }
    // Cleared before the listener hears of it, so that nothing it does reaches the device.
    removed->forgetHandle();
    post(&MobileDeviceAccessListener::onDeviceDisconnected, std::move(removed));
}

bool DeviceMonitor::addDevice(const std::shared_ptr<AMDevice>& device) {
    const std::lock_guard lock(mutex_);
    const CZelboString identifier = device->uniqueDeviceID();
    const bool duplicate = std::any_of(devices_.begin(), devices_.end(), [&](const auto& listed) {
        return listed->uniqueDeviceID() == identifier;
    });
    if (duplicate)
        return false;
    devices_.push_back(device);
    return true;
}

void DeviceMonitor::post(
    void (MobileDeviceAccessListener::*event)(const std::shared_ptr<AMDevice>&),
    std::shared_ptr<AMDevice> device) {
    MobileDeviceAccessListener* listener;
    Dispatcher dispatcher;
    {
        const std::lock_guard lock(mutex_);
        listener = listener_;
        dispatcher = dispatcher_;
    }
    if (listener == nullptr)
        return;
    if (dispatcher) {
        dispatcher([listener, event, device = std::move(device)] { (listener->*event)(device); });
    } else {
        (listener->*event)(device);
    }
}
