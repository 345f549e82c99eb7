#include "simdevice.h"

#include "publicvalues.h"
#include "serviceconnection.h"
#include "simerror.h"

#include "device/mobiledevice.h"

#include <algorithm>
#include <utility>

namespace plovik::sim {

SimDevice::SimDevice(std::unique_ptr<DeviceFolder> folder)
    : folder_(std::move(folder)), accessState_(folder_->initialAccessState()) {}

int SimDevice::accessState() const {
    std::lock_guard lock(mutex_);
    return accessState_;
}

int SimDevice::setAccessState(int state) {
    std::lock_guard lock(mutex_);
    return std::exchange(accessState_, state);
}

bool SimDevice::isGone() const {
    std::lock_guard lock(mutex_);
    return gone_;
}

void SimDevice::markGone() {
    std::vector<std::weak_ptr<ServiceConnection>> services;
    {
        std::lock_guard lock(mutex_);
        gone_ = true;
        connections_ = 0;
        sessions_ = 0;
        services.swap(services_);
    }
    for (const auto& weak : services) {
        if (const auto service = weak.lock()) {
            service->shutDown();
        }
    }
}

int SimDevice::connect() {
    std::lock_guard lock(mutex_);
    if (gone_) {
        return kSimInvalidHandle;
    }
    ++connections_;
    return kSimSuccess;
}

int SimDevice::disconnect() {
    std::lock_guard lock(mutex_);
    if (const int result = checkPresent(); result != kSimSuccess) {
        return result;
    }
    // A session lives inside a connection: the last disconnect ends any left open.
    if (--connections_ == 0) {
        sessions_ = 0;
    }
    return kSimSuccess;
}

int SimDevice::startSession() {
    std::lock_guard lock(mutex_);
    if (const int result = checkPresent(); result != kSimSuccess) {
        return result;
    }
    if (accessState_ == kAMDeviceAccessLocked) {
        return kSimPasswordProtected;
    }
    if (accessState_ != kAMDeviceAccessReady) {
        return kSimInvalidHostId;
    }
    ++sessions_;
    return kSimSuccess;
}

int SimDevice::stopSession() {
    std::lock_guard lock(mutex_);
    if (const int result = checkSessionLocked(); result != kSimSuccess) {
        return result;
    }
    --sessions_;
    return kSimSuccess;
}

int SimDevice::checkSession() const {
    std::lock_guard lock(mutex_);
    return checkSessionLocked();
}

int SimDevice::checkSessionLocked() const {
    if (const int result = checkPresent(); result != kSimSuccess) {
        return result;
    }
    return sessions_ > 0 ? kSimSuccess : kSimSessionInactive;
}

int SimDevice::checkPresent() const {
    if (gone_) {
        return kSimInvalidHandle;
    }
    return connections_ > 0 ? kSimSuccess : kSimNotConnected;
}

PlistPtr SimDevice::copyValue(plist_t domain, plist_t key) const {
    // libplist may build lookup tables while reading: readers are serialised too.
    std::lock_guard lock(mutex_);
    if (checkSessionLocked() != kSimSuccess) {
        return gone_ || accessState_ == kAMDeviceAccessReady || domain != nullptr
                   ? nullptr
                   : publicValue(key);
    }
    plist_t source = folder_->values();
    if (domain != nullptr) {
        const auto domainName = stringValue(domain);
        if (!domainName) {
            return nullptr;
        }
        source = plist_dict_get_item(source, domainName->c_str());
        if (!isDictionary(source)) {
            return nullptr;
        }
    }
    if (key == nullptr) {
        return PlistPtr(plist_copy(source));
    }
    const auto keyName = stringValue(key);
    if (!keyName) {
        return nullptr;
    }
    const plist_t value = plist_dict_get_item(source, keyName->c_str());
    return PlistPtr(value != nullptr ? plist_copy(value) : nullptr);
}

PlistPtr SimDevice::publicValue(plist_t key) const {
    if (key == nullptr) {
        return publicValuesOf(folder_->values());
    }
    const auto keyName = stringValue(key);
    if (!keyName || !isPublicValue(*keyName)) {
        return nullptr;
    }
    const plist_t value = plist_dict_get_item(folder_->values(), keyName->c_str());
    return PlistPtr(value != nullptr ? plist_copy(value) : nullptr);
}

bool SimDevice::addService(const std::shared_ptr<ServiceConnection>& service) {
    std::lock_guard lock(mutex_);
    if (gone_) {
        return false;
    }
    std::erase_if(services_, [](const auto& weak) { return weak.expired(); });
    services_.push_back(service);
    return true;
}

}  // namespace plovik::sim
