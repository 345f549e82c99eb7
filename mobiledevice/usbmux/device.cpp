#include "device.h"

#include "lockdownsession.h"
#include "log.h"
#include "pairrecord.h"
#include "results.h"
#include "serviceconnection.h"
#include "sigpipeguard.h"

#include <optional>
#include <utility>

namespace plovik::usbmux {

namespace {

// Failures of a lockdown connection the device has closed, rather than answers to the request.
bool droppedConnection(lockdownd_error_t error) {
    return error == LOCKDOWN_E_MUX_ERROR || error == LOCKDOWN_E_SSL_ERROR ||
           error == LOCKDOWN_E_RECEIVE_TIMEOUT || error == LOCKDOWN_E_PLIST_ERROR;
}

}  // namespace

Device::Device(std::string udid, Idevice idevice)
    : udid_(std::move(udid)), idevice_(std::move(idevice)) {}

Device::~Device() {
    const SigpipeGuard sigpipeGuard;
    lockdown_.reset();
}

int Device::connect() {
    const SigpipeGuard sigpipeGuard;
    const std::lock_guard lock(lockdownMutex_);
    if (gone_) {
        return LOCKDOWN_E_MUX_ERROR;
    }
    if (connections_ == 0) {
        sessionKept_ = keptSessionServes();
        if (!sessionKept_) {
            lockdown_.reset();
            if (const int result = openSession(); result != kSuccess) {
                return result;
            }
        }
    }
    ++connections_;
    return kSuccess;
}

bool Device::keptSessionServes() const {
    return lockdown_ && std::chrono::steady_clock::now() - lastDisconnect_ < kSessionLinger;
}

int Device::openSession() {
    // Pairing, which shows the Trust dialog, is the access probe's business.
    const std::optional<SessionCredentials> credentials = readSessionCredentials(udid_);
    if (!credentials) {
        return LOCKDOWN_E_MISSING_PAIR_RECORD;
    }
    lockdownd_error_t error = LOCKDOWN_E_SUCCESS;
    lockdown_ = LockdownSession::open(idevice_.get(), *credentials, &iosVersion_, &error);
    return lockdown_ ? kSuccess : error;
}

int Device::disconnect() {
    const SigpipeGuard sigpipeGuard;
    const std::lock_guard lock(lockdownMutex_);
    if (connections_ == 0) {
        return kNoConnection;
    }
    if (--connections_ == 0) {
        // Kept for the next connect; freeing the client stops its session and closes the
        // connection.
        lastDisconnect_ = std::chrono::steady_clock::now();
        sessions_ = 0;
        values_.clear();
    }
    return kSuccess;
}

int Device::startSession() {
    const std::lock_guard lock(lockdownMutex_);
    if (connections_ == 0) {
        return kNoConnection;
    }
    if (gone_) {
        return LOCKDOWN_E_MUX_ERROR;
    }
    ++sessions_;
    return kSuccess;
}

int Device::stopSession() {
    const std::lock_guard lock(lockdownMutex_);
    if (sessions_ == 0) {
        return kNoSession;
    }
    --sessions_;
    return kSuccess;
}

int Device::requireSession() const {
    if (gone_) {
        return LOCKDOWN_E_MUX_ERROR;
    }
    if (sessions_ == 0) {
        return kNoSession;
    }
    // A kept session replaced after the device dropped it leaves none when the new one failed.
    return lockdown_ ? kSuccess : LOCKDOWN_E_MUX_ERROR;
}

int Device::copyValue(const char* domain, const char* key, plist_t* value) {
    const SigpipeGuard sigpipeGuard;
    const std::lock_guard lock(lockdownMutex_);
    if (const int result = requireSession(); result != kSuccess) {
        return result == kNoSession ? copyPublicValue(domain, key, value) : result;
    }
    return values_.copy(domain, key, value,
                        [this](const char* requestDomain, const char* requestKey, plist_t* found) {
                            return lockdown_->getValue(requestDomain, requestKey, found);
                        });
}

int Device::copyPublicValue(const char* domain, const char* key, plist_t* value) const {
    if (accessState_ == kAMDeviceAccessReady || !publicValues_ || domain != nullptr) {
        return kNoSession;
    }
    const plist_t found =
        key != nullptr ? plist_dict_get_item(publicValues_.get(), key) : publicValues_.get();
    if (found == nullptr) {
        return kNoSession;
    }
    *value = plist_copy(found);
    return kSuccess;
}

void Device::setPublicValues(plist_t values) {
    const std::lock_guard lock(lockdownMutex_);
    publicValues_.reset(values);
}

int Device::startService(const char* name, std::shared_ptr<ServiceConnection>* service) {
    const SigpipeGuard sigpipeGuard;
    lockdownd_service_descriptor descriptor{};
    {
        const std::lock_guard lock(lockdownMutex_);
        if (const int result = requireSession(); result != kSuccess) {
            return result;
        }
        lockdownd_error_t error = lockdown_->startService(name, &descriptor);
        if (sessionKept_ && droppedConnection(error)) {
            // The device ended the kept session meanwhile: once more on a fresh one.
            lockdown_.reset();
            sessionKept_ = false;
            if (const int result = openSession(); result != kSuccess) {
                return result;
            }
            error = lockdown_->startService(name, &descriptor);
        }
        if (error != LOCKDOWN_E_SUCCESS) {
            return error;
        }
    }
    int error = 0;
    *service = ServiceConnection::open(idevice_.get(), descriptor, &error);
    if (!*service) {
        logLine("%s: service %s started but its connection failed (%d)", udid_.c_str(), name,
                error);
        return LOCKDOWN_E_MUX_ERROR;
    }
    return kSuccess;
}

}  // namespace plovik::usbmux
