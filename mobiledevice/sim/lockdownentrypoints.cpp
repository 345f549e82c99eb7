// The device entry points of mobiledevice.h: notifications, connection, session and values.

#include "injectedfault.h"
#include "plovik_sim.h"
#include "simerror.h"
#include "simulator.h"

using plovik::sim::injectedFault;
using plovik::sim::PlistPtr;
using plovik::sim::Simulator;

namespace {

template <typename Operation>
int onDevice(AMDeviceRef device, Operation operation) {
    const auto found = Simulator::instance().devices().find(device);
    return found ? operation(*found) : plovik::sim::kSimInvalidHandle;
}

}  // namespace

extern "C" {

int AMDeviceNotificationSubscribe(AMDeviceNotificationCallback callback, uint32_t, uint32_t,
                                  void* context, AMDeviceNotificationRef* outNotification) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return Simulator::instance().subscribe(callback, context, outNotification) == kPlovikSimOk
               ? plovik::sim::kSimSuccess
               : plovik::sim::kSimInvalidArgument;
}

int AMDeviceConnect(AMDeviceRef device) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return onDevice(device, [](plovik::sim::SimDevice& found) { return found.connect(); });
}

int AMDeviceDisconnect(AMDeviceRef device) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return onDevice(device, [](plovik::sim::SimDevice& found) { return found.disconnect(); });
}

int AMDeviceStartSession(AMDeviceRef device) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return onDevice(device, [](plovik::sim::SimDevice& found) { return found.startSession(); });
}

int AMDeviceStopSession(AMDeviceRef device) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    return onDevice(device, [](plovik::sim::SimDevice& found) { return found.stopSession(); });
}

plist_t AMDeviceCopyValue(AMDeviceRef device, plist_t domain, plist_t key) {
    if (injectedFault(__func__) != 0) {
        return nullptr;
    }
    const auto found = Simulator::instance().devices().find(device);
    return found ? found->copyValue(domain, key).release() : nullptr;
}

plist_t AMDeviceCopyDeviceIdentifier(AMDeviceRef device) {
    if (injectedFault(__func__) != 0) {
        return nullptr;
    }
    const auto found = Simulator::instance().devices().find(device);
    return found ? plist_new_string(found->uniqueDeviceId().c_str()) : nullptr;
}

int AMDeviceGetAccessState(AMDeviceRef device) {
    if (const int fault = injectedFault(__func__)) {
        return fault;
    }
    const auto found = Simulator::instance().devices().find(device);
    return found ? found->accessState() : -1;
}

}  // extern "C"
