// The service entry points of mobiledevice.h: starting services and the byte stream of a
// service connection.

#include "injectedfault.h"
#include "servicelauncher.h"
#include "simerror.h"
#include "simulator.h"

using plovik::sim::injectedFault;
using plovik::sim::Simulator;

namespace {

int startService(AMDeviceRef device, plist_t serviceName, AMDServiceConnectionRef* outService) {
    if (outService == nullptr) {
        return plovik::sim::kSimInvalidArgument;
    }
    *outService = nullptr;
    Simulator& simulator = Simulator::instance();
    const auto found = simulator.devices().find(device);
    if (!found) {
        return plovik::sim::kSimInvalidHandle;
    }
    std::shared_ptr<plovik::sim::ServiceConnection> service;
    const int result = launchService(found, serviceName, simulator.controls(), service);
    if (result == plovik::sim::kSimSuccess) {
        *outService = simulator.services().insert(std::move(service));
    }
    return result;
}

}  // namespace

extern "C" {

int AMDeviceStartService(AMDeviceRef device, plist_t serviceName,
                         AMDServiceConnectionRef* outService, uint32_t* outWord) {
    if (outWord != nullptr) {
        *outWord = 0;
    }
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return startService(device, serviceName, outService);
}

int AMDeviceSecureStartService(AMDeviceRef device, plist_t serviceName, plist_t,
                               AMDServiceConnectionRef* outService) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return startService(device, serviceName, outService);
}

int64_t AMDServiceConnectionSend(AMDServiceConnectionRef service, const void* bytes,
                                 size_t length) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    const auto found = Simulator::instance().services().find(service);
    if (!found) {
        return plovik::sim::kSimInvalidHandle;
    }
    if (bytes == nullptr && length > 0) {
        return plovik::sim::kSimInvalidArgument;
    }
    return found->send(bytes, length);
}

int64_t AMDServiceConnectionReceive(AMDServiceConnectionRef service, void* buffer, size_t length) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    const auto found = Simulator::instance().services().find(service);
    if (!found) {
        return plovik::sim::kSimInvalidHandle;
    }
    if (buffer == nullptr && length > 0) {
        return plovik::sim::kSimInvalidArgument;
    }
    return found->receive(buffer, length);
}

int AMDServiceConnectionSetReceiveTimeout(AMDServiceConnectionRef service, uint32_t milliseconds) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    const auto found = Simulator::instance().services().find(service);
    if (!found) {
        return plovik::sim::kSimInvalidHandle;
    }
    found->setReceiveTimeout(milliseconds);
    return plovik::sim::kSimSuccess;
}

int AMDServiceConnectionInvalidate(AMDServiceConnectionRef service) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    const auto taken = Simulator::instance().services().take(service);
    if (!taken) {
        return plovik::sim::kSimInvalidHandle;
    }
    taken->shutDown();
    return plovik::sim::kSimSuccess;
}

}  // extern "C"
