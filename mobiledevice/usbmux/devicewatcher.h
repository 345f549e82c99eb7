// Follows devices attaching and leaving through libusbmuxd and tells the subscribers.
//
// libusbmuxd calls in on its monitor thread; those calls only queue the event. One thread of this
// library takes the queue in order: it announces each new device at once as NotReady (connecting),
// probes it (see accessprobe.h), announces it as Arrived, or as NotReady again while it is locked
// or untrusted (each change of state once), probes those again every few seconds until a session
// opens or the device leaves, and announces removals. Before it tells that a device is locked or
// untrusted, it reads the device's public values once (see publicvalues.h), so that subscribers
// learn its name without a session. Every callback of every subscriber is made on that thread,
// one at a time, in the order of the events. A subscriber that comes later first hears of the
// devices already announced.
//
// Device handles stay in the registry from attachment until the Removed callback returned; a
// later lookup of the handle finds nothing.
//
// Without usbmuxd running, subscribing still succeeds: libusbmuxd keeps trying to reach the
// daemon in the background, and devices show up once it starts.
//
// The watcher lives as long as the process (libusbmuxd holds a pointer to it on its own thread);
// it is never destroyed.
#ifndef PLOVIK_USBMUX_DEVICEWATCHER_H
#define PLOVIK_USBMUX_DEVICEWATCHER_H

#include "accessprobe.h"
#include "device.h"
#include "handleregistry.h"
#include "mobiledevice.h"

#include <usbmuxd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace plovik::usbmux {

class DeviceWatcher {
public:
    static constexpr std::chrono::seconds kProbeInterval{3};

    DeviceWatcher() = default;
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    // 0 and a subscription number in *subscription, or a libusbmuxd error.
    int subscribe(AMDeviceNotificationCallback callback, void* context,
                  std::uintptr_t* subscription);

    std::shared_ptr<Device> find(std::uintptr_t handle) const { return devices_.find(handle); }

private:
    using Clock = std::chrono::steady_clock;

    struct Subscriber {
        AMDeviceNotificationCallback callback;
        void* context;
    };

    struct Event {
        enum class Kind { Attached, Detached, Paired, Subscribed };
        Kind kind = Kind::Attached;
        uint32_t muxId = 0;
        std::string udid;
        Subscriber subscriber{};
    };

    enum class Announced { Nothing, NotReady, Arrived };

    // What the event thread knows of one attached device.
    struct Watched {
        uint32_t muxId = 0;
        std::string udid;
        std::uintptr_t handle = 0;  // 0 until libimobiledevice found the device
        std::shared_ptr<Device> device;
        std::unique_ptr<Pairing> pairing;
        Announced announced = Announced::Nothing;
        std::optional<Access> lastAccess;
        TrustRequest trustRequest = TrustRequest::Allowed;
        bool publicValuesRead = false;
        Clock::time_point nextProbe;
    };

    static void onMuxEvent(const usbmuxd_event_t* event, void* watcher);
    void post(Event event);
    void run();
    void handle(const Event& event);
    void attach(uint32_t muxId, const std::string& udid);
    bool makeDevice(Watched& watched);
    void detach(uint32_t muxId);
    void probe(Watched& watched);
    void readPublicValues(Watched& watched);
    void report(const Watched& watched, const ProbeResult& result) const;
    void probeDue();
    std::optional<Clock::time_point> nextProbeTime() const;
    void deliver(const Subscriber& subscriber, std::uintptr_t handle,
                 AMDeviceNotificationMessage message) const;
    void deliverToAll(std::uintptr_t handle, AMDeviceNotificationMessage message) const;

    HandleRegistry<Device> devices_;

    std::mutex subscribeMutex_;
    bool listening_ = false;
    std::uintptr_t subscriptions_ = 0;
    usbmuxd_subscription_context_t muxSubscription_ = nullptr;

    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<Event> queue_;

    // Owned by the event thread.
    std::vector<Subscriber> subscribers_;
    std::map<uint32_t, Watched> watched_;
};

}  // namespace plovik::usbmux

#endif
