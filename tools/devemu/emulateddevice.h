// One device the emulator serves: the simulator's model of its folder and state, its USB link,
// the sockets open to it, and its detachment, which cuts them all.
#ifndef PLOVIK_DEVEMU_EMULATEDDEVICE_H
#define PLOVIK_DEVEMU_EMULATEDDEVICE_H

#include "faultplan.h"
#include "usblink.h"

#include "simcontrols.h"
#include "simdevice.h"

#include <plist/plist.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace plovik::devemu {

class EmulatedDevice {
public:
    EmulatedDevice(uint32_t id, std::shared_ptr<sim::SimDevice> model, const FaultPlan& faults,
                   LinkProfile link);

    uint32_t id() const { return id_; }
    const std::string& udid() const { return model_->uniqueDeviceId(); }
    const std::shared_ptr<sim::SimDevice>& model() const { return model_; }
    const sim::SimControls& controls() const { return controls_; }
    const FaultPlan& faults() const { return faults_; }
    // The lockdown values of device.plist.
    plist_t values() const { return model_->folder().values(); }

    // Whether usbmuxd holds a pair record for it, and whether a session finds it locked.
    bool paired() const;
    bool locked() const;

    // Sends service bytes across the link. With a byte budget set by the faults, the device is
    // pulled out once it is spent, part of the bytes sent; false then or when the peer is gone.
    bool send(int socket, const std::string& bytes);
    // Paces bytes that came in from the host.
    void received(std::size_t bytes);
    // The fault for the next AFC request of the device, counted across its connections.
    RequestFault nextAfcRequest();

    // Sockets connected to the device are shut down when it is detached; false when it already
    // is.
    bool adopt(int socket);
    void release(int socket);
    bool isDetached() const;

    // Marks it gone, cuts its sockets and tells the daemon (once).
    void detach();
    void onDetached(std::function<void(uint32_t)> handler) {
        detachedHandler_ = std::move(handler);
    }

private:
    const uint32_t id_;
    const std::shared_ptr<sim::SimDevice> model_;
    const FaultPlan& faults_;
    sim::SimControls controls_;
    UsbLink link_;
    std::function<void(uint32_t)> detachedHandler_;

    mutable std::mutex mutex_;
    std::set<int> sockets_;
    uint64_t bytesSent_ = 0;
    uint64_t afcRequests_ = 0;
    bool detached_ = false;
};

}  // namespace plovik::devemu

#endif
