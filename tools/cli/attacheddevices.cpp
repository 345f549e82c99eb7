#include "attacheddevices.h"

#include <algorithm>

#include "device/amdevice.h"

void AttachedDevices::onDeviceConnected(AMDevice* device) {
    const std::lock_guard lock(mutex_);
    owned_.emplace_back(device);
    attached_.push_back(device);
    changed_.notify_all();
}

void AttachedDevices::onDeviceDisconnected(AMDevice* device) {
    const std::lock_guard lock(mutex_);
    attached_.erase(std::remove(attached_.begin(), attached_.end(), device), attached_.end());
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
