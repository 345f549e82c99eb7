#include "device/devicemonitor.h"

#include <algorithm>

#include "device/amdevice.h"
#include "device/mobiledeviceaccesslistener.h"
#include "device/mobiledevicecalls.h"

DeviceMonitor& DeviceMonitor::instance() {
    static DeviceMonitor monitor;
    return monitor;
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

std::vector<AMDevice*> DeviceMonitor::devices() const {
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
    // A device reported while locked is complete now: its placeholder leaves first.
    removeDevice(handle, [](const AMDevice& listed) {
        return listed.accessState() != kAMDeviceAccessReady;
    });
    CZelboString error;
    ZelboLib::Owned<AMDevice> device = AMDevice::attach(handle, error);
    if (!device || !addDevice(device.get()))
        return;
    post(&MobileDeviceAccessListener::onDeviceConnected, device.release());
}

void DeviceMonitor::deviceNotReady(AMDeviceRef handle) {
    {
        const std::lock_guard lock(mutex_);
        const bool known = std::any_of(devices_.begin(), devices_.end(), [&](AMDevice* device) {
            return device->deviceHandle() == handle;
        });
        if (known)
            return;
    }
    ZelboLib::Owned<AMDevice> device = AMDevice::attachNotReady(handle);
    if (!addDevice(device.get()))
        return;
    post(&MobileDeviceAccessListener::onDeviceConnected, device.release());
}

void DeviceMonitor::deviceRemoved(AMDeviceRef handle) {
    removeDevice(handle, [](const AMDevice&) { return true; });
}

void DeviceMonitor::removeDevice(AMDeviceRef handle,
                                 const std::function<bool(const AMDevice&)>& condition) {
    AMDevice* removed = nullptr;
    {
        const std::lock_guard lock(mutex_);
        const auto found = std::find_if(devices_.begin(), devices_.end(), [&](AMDevice* device) {
            return device->deviceHandle() == handle;
        });
        if (found == devices_.end() || !condition(**found))
            return;
        removed = *found;
        devices_.erase(found);
    }
    // Cleared before the listener hears of it, so that nothing it does reaches the device.
    removed->forgetHandle();
    post(&MobileDeviceAccessListener::onDeviceDisconnected, removed);
}

bool DeviceMonitor::addDevice(AMDevice* device) {
    const std::lock_guard lock(mutex_);
    const CZelboString identifier = device->uniqueDeviceID();
    const bool duplicate = std::any_of(devices_.begin(), devices_.end(), [&](AMDevice* listed) {
        return listed->uniqueDeviceID() == identifier;
    });
    if (duplicate)
        return false;
    devices_.push_back(device);
    return true;
}

void DeviceMonitor::post(void (MobileDeviceAccessListener::*event)(AMDevice*), AMDevice* device) {
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
        dispatcher([listener, event, device] { (listener->*event)(device); });
    } else {
        (listener->*event)(device);
    }
}
