#include "devicewatcher.h"

#include "log.h"
#include "publicvalues.h"
#include "results.h"

#include <libimobiledevice/lockdown.h>
#include <openssl/crypto.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace plovik::usbmux {

namespace {

std::optional<AMDeviceAccessState> accessState(Access access) {
    switch (access) {
        case Access::Ready:
            return kAMDeviceAccessReady;
        case Access::Locked:
            return kAMDeviceAccessLocked;
        case Access::Untrusted:
            return kAMDeviceAccessUntrusted;
        case Access::Denied:
            return kAMDeviceAccessDenied;
        case Access::Unreachable:
            break;
    }
    return std::nullopt;
}

}  // namespace

int DeviceWatcher::subscribe(AMDeviceNotificationCallback callback, void* context,
                             std::uintptr_t* subscription) {
    const std::lock_guard lock(subscribeMutex_);
    if (!listening_) {
        // libusbmuxd waits for the daemon's socket with inotify on its default folder only; a
        // daemon at another address would never be noticed, so it polls for that one instead.
        if (std::getenv("USBMUXD_SOCKET_ADDRESS") != nullptr) {
            libusbmuxd_set_use_inotify(0);
        }
        // The event thread may be making a pairing's keys or running a TLS session when the
        // process exits; OpenSSL's clean-up at exit would free its locks under it.
        OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
        const int result = usbmuxd_events_subscribe(&muxSubscription_, &onMuxEvent, this);
        if (result != 0) {
            logLine("cannot watch devices: libusbmuxd subscription failed (%d)", result);
            return result;
        }
        std::thread([this] { run(); }).detach();
        listening_ = true;
    }
    Event event;
    event.kind = Event::Kind::Subscribed;
    event.subscriber = {callback, context};
    post(std::move(event));
    *subscription = ++subscriptions_;
    return kSuccess;
}

void DeviceWatcher::onMuxEvent(const usbmuxd_event_t* muxEvent, void* watcher) {
    // Devices reached over the network are not this library's concern.
    if (muxEvent->device.conn_type != CONNECTION_TYPE_USB) {
        return;
    }
    Event event;
    switch (muxEvent->event) {
        case UE_DEVICE_ADD:
            event.kind = Event::Kind::Attached;
            break;
        case UE_DEVICE_REMOVE:
            event.kind = Event::Kind::Detached;
            break;
        case UE_DEVICE_PAIRED:
            event.kind = Event::Kind::Paired;
            break;
        default:
            return;
    }
    event.muxId = muxEvent->device.handle;
    event.udid.assign(muxEvent->device.udid,
                      strnlen(muxEvent->device.udid, sizeof muxEvent->device.udid));
    static_cast<DeviceWatcher*>(watcher)->post(std::move(event));
}

void DeviceWatcher::post(Event event) {
    {
        const std::lock_guard lock(queueMutex_);
        queue_.push_back(std::move(event));
    }
    queueChanged_.notify_one();
}

void DeviceWatcher::run() {
    std::unique_lock lock(queueMutex_);
    for (;;) {
        if (queue_.empty()) {
            if (const std::optional<Clock::time_point> due = nextProbeTime()) {
                queueChanged_.wait_until(lock, *due);
            } else {
                queueChanged_.wait(lock);
            }
        }
        if (!queue_.empty()) {
            const Event event = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            handle(event);
            lock.lock();
            continue;
        }
        lock.unlock();
        probeDue();
        lock.lock();
    }
}

void DeviceWatcher::handle(const Event& event) {
    switch (event.kind) {
        case Event::Kind::Attached:
            attach(event.muxId, event.udid);
            break;
        case Event::Kind::Detached:
            detach(event.muxId);
            break;
        case Event::Kind::Paired:
            if (const auto found = watched_.find(event.muxId); found != watched_.end()) {
                found->second.nextProbe = Clock::now();
            }
            break;
        case Event::Kind::Subscribed:
            for (const auto& [muxId, watched] : watched_) {
                if (watched.announced != Announced::Nothing) {
                    deliver(event.subscriber, watched.handle,
                            watched.announced == Announced::Arrived ? kAMDeviceArrived
                                                                    : kAMDeviceNotReady);
                }
            }
            subscribers_.push_back(event.subscriber);
            break;
    }
}

void DeviceWatcher::attach(uint32_t muxId, const std::string& udid) {
    const auto [entry, added] = watched_.try_emplace(muxId);
    if (!added) {
        return;
    }
    Watched& watched = entry->second;
    watched.muxId = muxId;
    watched.udid = udid;
    // Known at once, before the probe (which may pair, a second or more): a caller waiting for
    // devices learns that one is on its way. The probe is due now, after the events queued
    // meanwhile, so devices attached together are all announced before any is probed.
    if (makeDevice(watched)) {
        watched.announced = Announced::NotReady;
        deliverToAll(watched.handle, kAMDeviceNotReady);
    }
    watched.nextProbe = Clock::now();
}

bool DeviceWatcher::makeDevice(Watched& watched) {
    if (watched.device) {
        return true;
    }
    idevice_t idevice = nullptr;
    if (idevice_new_with_options(&idevice, watched.udid.c_str(), IDEVICE_LOOKUP_USBMUX) !=
        IDEVICE_E_SUCCESS) {
        return false;
    }
    watched.device = std::make_shared<Device>(watched.udid, Idevice(idevice));
    watched.pairing = std::make_unique<Pairing>(watched.udid, watched.muxId);
    watched.handle = devices_.add(watched.device);
    return true;
}

void DeviceWatcher::detach(uint32_t muxId) {
    const auto found = watched_.find(muxId);
    if (found == watched_.end()) {
        return;
    }
    const Watched watched = std::move(found->second);
    watched_.erase(found);
    if (!watched.device) {
        return;
    }
    watched.device->markGone();
    if (watched.announced != Announced::Nothing) {
        deliverToAll(watched.handle, kAMDeviceRemoved);
    }
    // The handle is valid until the Removed callbacks returned, and unknown from then on.
    devices_.remove(watched.handle);
}

void DeviceWatcher::probe(Watched& watched) {
    watched.nextProbe = Clock::now() + kProbeInterval;
    if (!makeDevice(watched)) {
        report(watched, {Access::Unreachable, LOCKDOWN_E_MUX_ERROR});
        watched.lastAccess = Access::Unreachable;
        return;
    }

    const ProbeResult result = probeAccess(*watched.device, *watched.pairing, watched.trustRequest);
    report(watched, result);
    watched.lastAccess = result.access;
    if (result.access == Access::Denied) {
        watched.trustRequest = TrustRequest::Withheld;
    }
    const std::optional<AMDeviceAccessState> state = accessState(result.access);
    if (!state) {
        return;
    }
    const bool changed = watched.device->accessState() != *state;
    watched.device->setAccessState(*state);
    if (result.access == Access::Ready) {
        watched.announced = Announced::Arrived;
        deliverToAll(watched.handle, kAMDeviceArrived);
        // The probe's session served the subscribers' first reads; it ends here.
        watched.device->disconnect();
    } else if (watched.announced == Announced::Nothing || changed) {
        // Also when it goes from locked to untrusted: the subscriber shows the user why, and
        // which device it is where the device tells.
        readPublicValues(watched);
        watched.announced = Announced::NotReady;
        deliverToAll(watched.handle, kAMDeviceNotReady);
    }
}

void DeviceWatcher::readPublicValues(Watched& watched) {
    if (watched.publicValuesRead) {
        return;
    }
    plist_t values = nullptr;
    const lockdownd_error_t result = usbmux::readPublicValues(watched.device->idevice(), &values);
    if (result != LOCKDOWN_E_SUCCESS) {
        logLine("%s: its public values could not be read (%d: %s)", watched.udid.c_str(), result,
                lockdownd_strerror(result));
        return;
    }
    watched.device->setPublicValues(values);
    watched.publicValuesRead = true;
}

void DeviceWatcher::report(const Watched& watched, const ProbeResult& result) const {
    // One line per change, not one per retry.
    if (watched.lastAccess == result.access) {
        return;
    }
    const char* udid = watched.udid.c_str();
    const char* reason = lockdownd_strerror(static_cast<lockdownd_error_t>(result.code));
    switch (result.access) {
        case Access::Ready:
            if (watched.lastAccess) {
                logLine("%s: session possible now", udid);
            }
            break;
        case Access::Locked:
            logLine("%s: locked with a passcode (%s); waiting for it to be unlocked", udid, reason);
            break;
        case Access::Untrusted:
            logLine("%s: not trusted (%d: %s); waiting for Trust to be tapped on the device", udid,
                    result.code, reason);
            break;
        case Access::Denied:
            logLine(
                "%s: the user refused to trust this computer; unplug and plug it in to be asked "
                "again",
                udid);
            break;
        case Access::Unreachable:
            logLine("%s: lockdown not reachable (%d: %s); retrying", udid, result.code, reason);
            break;
    }
}

void DeviceWatcher::probeDue() {
    const Clock::time_point now = Clock::now();
    for (auto& [muxId, watched] : watched_) {
        if (watched.announced != Announced::Arrived && watched.nextProbe <= now) {
            probe(watched);
        }
    }
}

std::optional<DeviceWatcher::Clock::time_point> DeviceWatcher::nextProbeTime() const {
    std::optional<Clock::time_point> earliest;
    for (const auto& [muxId, watched] : watched_) {
        if (watched.announced != Announced::Arrived &&
            (!earliest || watched.nextProbe < *earliest)) {
            earliest = watched.nextProbe;
        }
    }
    return earliest;
}

void DeviceWatcher::deliver(const Subscriber& subscriber, std::uintptr_t handle,
                            AMDeviceNotificationMessage message) const {
    const AMDeviceNotificationInfo info{reinterpret_cast<AMDeviceRef>(handle),
                                        static_cast<uint32_t>(message)};
    subscriber.callback(&info, subscriber.context);
}

void DeviceWatcher::deliverToAll(std::uintptr_t handle, AMDeviceNotificationMessage message) const {
    for (const Subscriber& subscriber : subscribers_) {
        deliver(subscriber, handle, message);
    }
}

}  // namespace plovik::usbmux
