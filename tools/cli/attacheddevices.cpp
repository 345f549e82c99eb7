#include "attacheddevices.h"

#include <algorithm>

#include "device/amdevice.h"

void AttachedDevices::onDeviceConnected(const std::shared_ptr<AMDevice>& device) {
    const std::lock_guard lock(mutex_);
    owned_.push_back(device);
    attached_.push_back(device.get());
    changed_.notify_all();
}

void AttachedDevices::onDeviceDisconnected(const std::shared_ptr<AMDevice>& device) {
    const std::lock_guard lock(mutex_);
    std::erase(attached_, device.get());
    changed_.notify_all();
}

std::vector<AMDevice*> AttachedDevices::devices() const {
    const std::lock_guard lock(mutex_);
    return attached_;
}

bool AttachedDevices::waitFor(const std::function<bool(const std::vector<AMDevice*>&)>& done,
                              std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(attached_); });
}
