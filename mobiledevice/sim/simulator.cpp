#include "simulator.h"

#include "plovik_sim.h"

#include <cstring>

namespace plovik::sim {

namespace {

uint32_t arrivalMessage(int accessState) {
    return accessState == kAMDeviceAccessReady ? kAMDeviceArrived : kAMDeviceNotReady;
}

}  // namespace

Simulator& Simulator::instance() {
    static Simulator simulator;
    return simulator;
}

int Simulator::subscribe(AMDeviceNotificationCallback callback, void* context,
                         AMDeviceNotificationRef* notification) {
    if (callback == nullptr) {
        return kPlovikSimBadArgument;
    }
    std::lock_guard lock(lifecycleMutex_);
    std::vector<NotificationHub::Event> attached;
    for (const auto& [handle, device] : devices_.snapshot()) {
        attached.emplace_back(handle, arrivalMessage(device->accessState()));
    }
    notifications_.subscribe({callback, context}, attached);
    if (notification != nullptr) {
        *notification = reinterpret_cast<AMDeviceNotificationRef>(nextHandleValue());
    }
    return kPlovikSimOk;
}

int Simulator::attach(const char* folder) {
    std::unique_ptr<DeviceFolder> deviceFolder;
    if (const int result = DeviceFolder::open(folder, deviceFolder); result != kPlovikSimOk) {
        return result;
    }
    std::lock_guard lock(lifecycleMutex_);
    if (findAttached(deviceFolder->uniqueDeviceId().c_str()).first != nullptr) {
        return kPlovikSimAlreadyAttached;
    }
    auto device = std::make_shared<SimDevice>(std::move(deviceFolder));
    const int accessState = device->accessState();
    const AMDeviceRef handle = devices_.insert(std::move(device));
    notifications_.post({handle, arrivalMessage(accessState)});
    return kPlovikSimOk;
}

int Simulator::detach(const char* uniqueDeviceId) {
    if (uniqueDeviceId == nullptr) {
        return kPlovikSimBadArgument;
    }
    std::lock_guard lock(lifecycleMutex_);
    const auto [handle, device] = findAttached(uniqueDeviceId);
    if (handle == nullptr) {
        return kPlovikSimNoSuchDevice;
    }
    detachLocked(handle, device);
    return kPlovikSimOk;
}

void Simulator::detachLocked(AMDeviceRef handle, const std::shared_ptr<SimDevice>& device) {
    devices_.take(handle);
    device->markGone();
    notifications_.post({handle, kAMDeviceRemoved});
}

int Simulator::setAccessState(const char* uniqueDeviceId, int state) {
    if (uniqueDeviceId == nullptr || state < kAMDeviceAccessReady ||
        state > kAMDeviceAccessUntrusted) {
        return kPlovikSimBadArgument;
    }
    std::lock_guard lock(lifecycleMutex_);
    const auto [handle, device] = findAttached(uniqueDeviceId);
    if (handle == nullptr) {
        return kPlovikSimNoSuchDevice;
    }
    const int previous = device->setAccessState(state);
    const bool wasReady = previous == kAMDeviceAccessReady;
    const bool isReady = state == kAMDeviceAccessReady;
    if (wasReady != isReady) {
        notifications_.post({handle, arrivalMessage(state)});
    }
    return kPlovikSimOk;
}

int Simulator::flushNotifications() {
    notifications_.flush();
    return kPlovikSimOk;
}

void Simulator::reset() {
    {
        std::lock_guard lock(lifecycleMutex_);
        for (const auto& [handle, device] : devices_.snapshot()) {
            detachLocked(handle, device);
        }
    }
    notifications_.flush();
    notifications_.clear();
    controls_.reset();
}

std::pair<AMDeviceRef, std::shared_ptr<SimDevice>> Simulator::findAttached(
    const char* uniqueDeviceId) {
    for (auto& [handle, device] : devices_.snapshot()) {
        if (device->uniqueDeviceId() == uniqueDeviceId) {
            return {handle, std::move(device)};
        }
    }
    return {nullptr, nullptr};
}

}  // namespace plovik::sim
