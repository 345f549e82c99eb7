#include "device.h"

#include "log.h"
#include "pairrecord.h"
#include "results.h"
#include "serviceconnection.h"
#include "sigpipeguard.h"

#include <cstdlib>

namespace plovik::usbmux {

namespace {

struct ServiceDescriptorDeleter {
    void operator()(lockdownd_service_descriptor_t service) const {
        lockdownd_service_descriptor_free(service);
    }
};

}  // namespace

Device::Device(std::string udid, Idevice idevice)
    : udid_(std::move(udid)), idevice_(std::move(idevice)) {}

int Device::connect() {
    const std::lock_guard lock(lockdownMutex_);
    if (gone_) {
        return LOCKDOWN_E_MUX_ERROR;
    }
    if (connections_ == 0) {
        lockdownd_client_t client = nullptr;
        const lockdownd_error_t error = lockdownd_client_new(idevice_.get(), &client, "plovik");
        if (error != LOCKDOWN_E_SUCCESS) {
            return error;
        }
        lockdown_.reset(client);
    }
    ++connections_;
    return kSuccess;
}

int Device::disconnect() {
    const SigpipeGuard sigpipeGuard;
    const std::lock_guard lock(lockdownMutex_);
    if (connections_ == 0) {
        return kNoConnection;
    }
    if (--connections_ == 0) {
        lockdown_.reset();
        sessions_ = 0;
        sessionId_.clear();
    }
    return kSuccess;
}

int Device::startSession() {
    const SigpipeGuard sigpipeGuard;
    const std::lock_guard lock(lockdownMutex_);
    if (connections_ == 0) {
        return kNoConnection;
    }
    if (gone_) {
        return LOCKDOWN_E_MUX_ERROR;
    }
    if (sessions_ > 0) {
        ++sessions_;
        return kSuccess;
    }
    const std::optional<std::string> hostId = readPairRecordHostId(udid_);
    if (!hostId) {
        logLine("%s: no session: this computer holds no pairing with the device (not trusted)",
                udid_.c_str());
        return LOCKDOWN_E_MISSING_PAIR_RECORD;
    }
    char* sessionId = nullptr;
    const lockdownd_error_t error =
        lockdownd_start_session(lockdown_.get(), hostId->c_str(), &sessionId, nullptr);
    const std::unique_ptr<char, decltype(&std::free)> ownedSessionId(sessionId, &std::free);
    if (error != LOCKDOWN_E_SUCCESS) {
        logLine("%s: no session: lockdown answered %d (%s)", udid_.c_str(), error,
                lockdownd_strerror(error));
        return error;
    }
    sessionId_ = sessionId != nullptr ? sessionId : "";
    sessions_ = 1;
    return kSuccess;
}

int Device::stopSession() {
    const SigpipeGuard sigpipeGuard;
    const std::lock_guard lock(lockdownMutex_);
    if (sessions_ == 0) {
        return kNoSession;
    }
    if (--sessions_ > 0) {
        return kSuccess;
    }
    const lockdownd_error_t error = lockdownd_stop_session(lockdown_.get(), sessionId_.c_str());
    sessionId_.clear();
    return error;
}

int Device::requireSession() const {
    if (gone_) {
        return LOCKDOWN_E_MUX_ERROR;
    }
    return sessions_ > 0 ? kSuccess : kNoSession;
}

int Device::copyValue(const char* domain, const char* key, plist_t* value) {
    const SigpipeGuard sigpipeGuard;
    const std::lock_guard lock(lockdownMutex_);
    if (const int result = requireSession(); result != kSuccess) {
        return result;
    }
    return lockdownd_get_value(lockdown_.get(), domain, key, value);
}

int Device::startService(const char* name, std::shared_ptr<ServiceConnection>* service) {
    const SigpipeGuard sigpipeGuard;
    lockdownd_service_descriptor_t rawDescriptor = nullptr;
    {
        const std::lock_guard lock(lockdownMutex_);
        if (const int result = requireSession(); result != kSuccess) {
            return result;
        }
        const lockdownd_error_t error =
            lockdownd_start_service(lockdown_.get(), name, &rawDescriptor);
        if (error != LOCKDOWN_E_SUCCESS) {
            lockdownd_service_descriptor_free(rawDescriptor);
            return error;
        }
    }
    const std::unique_ptr<lockdownd_service_descriptor, ServiceDescriptorDeleter> descriptor(
        rawDescriptor);
    int error = 0;
    *service = ServiceConnection::open(idevice_.get(), *descriptor, &error);
    if (!*service) {
        logLine("%s: service %s started but its connection failed (%d)", udid_.c_str(), name,
                error);
        return LOCKDOWN_E_MUX_ERROR;
    }
    return kSuccess;
}

}  // namespace plovik::usbmux
