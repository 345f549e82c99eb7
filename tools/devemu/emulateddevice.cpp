#include "emulateddevice.h"

#include "afcpacket.h"

#include "device/mobiledevice.h"

#include <sys/socket.h>

#include <algorithm>

namespace plovik::devemu {

EmulatedDevice::EmulatedDevice(uint32_t id, std::shared_ptr<sim::SimDevice> model,
                               std::shared_ptr<TrustedHosts> trustedHosts, const FaultPlan& faults,
                               LinkProfile link, std::shared_ptr<TrafficTally> tally)
    : id_(id),
      model_(std::move(model)),
      trustedHosts_(std::move(trustedHosts)),
      faults_(faults),
      tally_(std::move(tally)),
      link_(link) {}

bool EmulatedDevice::locked() const {
    return (faults_.locked() && !accessAllowed_) || model_->accessState() == kAMDeviceAccessLocked;
}

const char* EmulatedDevice::pairingRefusal() const {
    if (locked()) {
        return "PasswordProtected";
    }
    if (accessAllowed_) {
        return nullptr;
    }
    if (faults_.trustDenied()) {
        return "UserDeniedPairing";
    }
    // An untrusted device folder shows the dialog as the trust-pending drill does.
    if (faults_.trustPending() || model_->accessState() == kAMDeviceAccessUntrusted) {
        return "PairingDialogResponsePending";
    }
    return nullptr;
}

bool EmulatedDevice::send(int socket, const std::string& bytes) {
    HostBoundBuffer out = hostBound(socket);
    return transmit(out, bytes, Clock::now() + link_.latency()) && out.flush();
}

bool EmulatedDevice::send(HostBoundBuffer& out, const std::string& bytes,
                          Clock::time_point requestCrossed, Clock::duration work) {
    return transmit(out, bytes, requestCrossed + std::max(link_.latency(), work));
}

bool EmulatedDevice::transmit(HostBoundBuffer& out, const std::string& bytes,
                              Clock::time_point notBefore) {
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
    tally_->fromDevice(allowed);
    const bool sent = link_.transmit(out, bytes.data(), allowed, notBefore);
    if (allowed < bytes.size()) {
        // What the budget let through reaches the host before the device goes.
        out.flush();
        detach();
        return false;
    }
    return sent;
}

EmulatedDevice::Clock::time_point EmulatedDevice::received(std::size_t bytes,
                                                           Clock::time_point arrived) {
    tally_->toDevice(bytes);
    return link_.receive(bytes, arrived);
}

RequestFault EmulatedDevice::nextAfcRequest(uint64_t operation, std::size_t bytes) {
    const std::lock_guard lock(mutex_);
    bytesReceived_ += bytes;
    RequestFault fault = faults_.atRequest(++afcRequests_);
    if (fault == RequestFault::None && operation == kAfcFileRead) {
        fault = faults_.atDataOperation(DataOperation::Read, ++afcReads_);
    }
    if (fault == RequestFault::None && operation == kAfcFileWrite) {
        fault = faults_.atDataOperation(DataOperation::Write, ++afcWrites_);
    }
    const auto budget = faults_.detachAfterReceived();
    if (fault == RequestFault::None && budget && bytesReceived_ > *budget) {
        fault = RequestFault::Detach;
    }
    return fault;
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
