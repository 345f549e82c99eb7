// One device the emulator serves: the simulator's model of its folder and state, the hosts it
// trusts, the user's hand on it, its USB link, the sockets open to it, and its detachment, which
// cuts them all.
#ifndef PLOVIK_DEVEMU_EMULATEDDEVICE_H
#define PLOVIK_DEVEMU_EMULATEDDEVICE_H

#include "faultplan.h"
#include "traffictally.h"
#include "trustedhosts.h"
#include "usblink.h"

#include "simcontrols.h"
#include "simdevice.h"

#include <plist/plist.h>
#include <atomic>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace plovik::devemu {

class EmulatedDevice {
public:
    using Clock = UsbLink::Clock;

    // trustedHosts outlives the device's unplugging: hand the same to the device of the next
    // plugging. The tally counts the device's traffic; devices of one run may share one.
    EmulatedDevice(uint32_t id, std::shared_ptr<sim::SimDevice> model,
                   std::shared_ptr<TrustedHosts> trustedHosts, const FaultPlan& faults,
                   LinkProfile link,
                   std::shared_ptr<TrafficTally> tally = std::make_shared<TrafficTally>());

    uint32_t id() const { return id_; }
    const std::string& udid() const { return model_->uniqueDeviceId(); }
    const std::shared_ptr<sim::SimDevice>& model() const { return model_; }
    const sim::SimControls& controls() const { return controls_; }
    TrustedHosts& trustedHosts() const { return *trustedHosts_; }
    const FaultPlan& faults() const { return faults_; }
    TrafficTally& tally() const { return *tally_; }
    // The lockdown values of device.plist.
    plist_t values() const { return model_->folder().values(); }

    // Whether Pair and StartSession find it locked.
    bool locked() const;
    // The user unlocks the device and taps Trust: from now on the Trust dialog agrees at once.
    void allowAccess() { accessAllowed_ = true; }
    // Why a Pair request with a sound record fails, as lockdown names it; null when the user
    // trusts the host.
    const char* pairingRefusal() const;

    // Sends service bytes across the link, a turnaround from now. With a byte budget set by the
    // faults, the device is pulled out once it is spent, part of the bytes sent; false then or
    // when the peer is gone.
    bool send(int socket, const std::string& bytes);
    // The same for the reply to a request that crossed at requestCrossed and took work to
    // answer, handed to out. The turnaround covers the work, as on a device that works on a
    // request while the reply before still crosses; only longer work delays the reply.
    bool send(HostBoundBuffer& out, const std::string& bytes, Clock::time_point requestCrossed,
              Clock::duration work);
    // A buffer for a connection's replies on socket, gathering as much as one packet of the link.
    HostBoundBuffer hostBound(int socket) const { return {socket, link_.packetBytes()}; }
    // Books a request of bytes from the host that began to arrive at arrived; the time it has
    // crossed the link.
    Clock::time_point received(std::size_t bytes, Clock::time_point arrived);
    // The fault for the next AFC request of the device, of operation and bytes long, counted
    // across its connections: by its number, by its number among the reads or writes, or by the
    // bytes taken in.
    RequestFault nextAfcRequest(uint64_t operation, std::size_t bytes);

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
    bool transmit(HostBoundBuffer& out, const std::string& bytes, Clock::time_point notBefore);

    const uint32_t id_;
    const std::shared_ptr<sim::SimDevice> model_;
    const std::shared_ptr<TrustedHosts> trustedHosts_;
    const FaultPlan& faults_;
    std::atomic<bool> accessAllowed_{false};
    const std::shared_ptr<TrafficTally> tally_;
    sim::SimControls controls_;
    UsbLink link_;
    std::function<void(uint32_t)> detachedHandler_;

    mutable std::mutex mutex_;
    std::set<int> sockets_;
    uint64_t bytesSent_ = 0;
    uint64_t afcRequests_ = 0;
    uint64_t afcReads_ = 0;
    uint64_t afcWrites_ = 0;
    uint64_t bytesReceived_ = 0;
    bool detached_ = false;
};

}  // namespace plovik::devemu

#endif
