#include "emulateddevice.h"

#include "socketio.h"

#include "device/mobiledevice.h"

#include <sys/socket.h>

namespace plovik::devemu {

EmulatedDevice::EmulatedDevice(uint32_t id, std::shared_ptr<sim::SimDevice> model,
                               const FaultPlan& faults, LinkProfile link)
    : id_(id), model_(std::move(model)), faults_(faults), link_(link) {}

bool EmulatedDevice::paired() const {
    return !faults_.unpaired() && model_->accessState() != kAMDeviceAccessUntrusted;
}

bool EmulatedDevice::locked() const {
    return faults_.locked() || model_->accessState() == kAMDeviceAccessLocked;
}

bool EmulatedDevice::send(int socket, const std::string& bytes) {
    link_.turnaround();
    std::size_t allowed = bytes.size();
    {
        const std::lock_guard lock(mutex_);
        if (detached_) {
            return false;
        }
        if (const auto budget = faults_.detachAfterBytes()) {
            const uint64_t left = *budget > bytesSent_ ? *budget - bytesSent_ : 0;
            allowed = static_cast<std::size_t>(std::min<uint64_t>(left, bytes.size()));
        }
        bytesSent_ += allowed;
    }
    link_.carry(allowed);
    const bool sent = writeAll(socket, bytes.data(), allowed);
    if (allowed < bytes.size()) {
        detach();
        return false;
    }
    return sent;
}

void EmulatedDevice::received(std::size_t bytes) {
    link_.carry(bytes);
}

RequestFault EmulatedDevice::nextAfcRequest() {
    const std::lock_guard lock(mutex_);
    return faults_.atRequest(++afcRequests_);
}

bool EmulatedDevice::adopt(int socket) {
    const std::lock_guard lock(mutex_);
    if (detached_) {
        return false;
    }
    sockets_.insert(socket);
    return true;
}

void EmulatedDevice::release(int socket) {
    const std::lock_guard lock(mutex_);
    sockets_.erase(socket);
}

bool EmulatedDevice::isDetached() const {
    const std::lock_guard lock(mutex_);
    return detached_;
}

void EmulatedDevice::detach() {
    {
        const std::lock_guard lock(mutex_);
        if (detached_) {
            return;
        }
        detached_ = true;
        model_->markGone();
        // Shut down, not closed: the threads serving them still own the descriptors.
        for (const int socket : sockets_) {
            shutdown(socket, SHUT_RDWR);
        }
    }
    if (detachedHandler_) {
        detachedHandler_(id_);
    }
}

}  // namespace plovik::devemu
