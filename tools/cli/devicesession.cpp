#include "devicesession.h"

#include <algorithm>
#include <chrono>

#include "attacheddevices.h"
#include "commandfailure.h"
#include "device/amdevice.h"
#include "device/devicemonitor.h"
#include "device/librarysearch.h"
#include "device/mobiledevicelibrary.h"
#include "mobiledevice/sim/plovik_sim.h"
#include "mobiledevice/usbmux/plovik_usbmux.h"

using namespace std::chrono_literals;

namespace {

// usbmuxd reports the devices it knows soon after subscribing; more may follow close behind
// where the library cannot say how many to expect.
constexpr auto kRealArrivalWait = 1500ms;
constexpr auto kQuietAfterArrival = 100ms;
// A device is reported as connecting at once; pairing and the TLS session take a few seconds at
// most, more on a loaded machine.
constexpr auto kConnectingWait = 30s;
// Simulated arrivals are delivered before the flush returns; this only bounds a stuck library.
constexpr auto kSimulatedArrivalWait = 10s;

// The monitor's listener must outlive the library's notification thread, which may still call in
// while the process exits: it is never destroyed.
AttachedDevices& processListener() {
    static AttachedDevices* const listener = new AttachedDevices;
    return *listener;
}

template <typename Function>
Function* simulatorControl(const char* name) {
    auto* entry = reinterpret_cast<Function*>(MobileDeviceLibrary::instance().entryPoint(name));
    if (entry == nullptr)
        throw CommandFailure("the MobileDevice library has no simulator control " +
                             std::string(name));
    return entry;
}

// How many devices the library is about to announce, when it can tell (libplovik-usbmux asks
// usbmuxd); -1 when it cannot.
int announcedDeviceCount() {
    using Count = decltype(PlovikUsbmuxCountAttachedDevices);
    auto* count = reinterpret_cast<Count*>(
        MobileDeviceLibrary::instance().entryPoint("PlovikUsbmuxCountAttachedDevices"));
    return count != nullptr ? count() : -1;
}

bool noneConnecting(const std::vector<AMDevice*>& devices) {
    return std::none_of(devices.begin(), devices.end(), [](const AMDevice* device) {
        return device->accessState() == kAMDeviceAccessConnecting;
    });
}

std::string accessProblem(const AMDevice& device) {
    switch (device.accessState()) {
        case kAMDeviceAccessReady:
            return {};
        case kAMDeviceAccessLocked:
            return "is locked: unlock it and try again";
        case kAMDeviceAccessUntrusted:
            return "does not trust this computer yet: unlock it and tap Trust on it";
        case kAMDeviceAccessDenied:
            return "was told not to trust this computer: unplug it, plug it in again and tap "
                   "Trust";
        case kAMDeviceAccessConnecting:
            return "did not finish connecting: try again";
    }
    return "does not allow a session";
}

}  // namespace

DeviceSession::DeviceSession(const SessionOptions& options)
    : attached_(processListener()), udid_(options.udid) {
    std::vector<std::string> simulated = options.simulatedFolders;
    if (options.demo)
        simulated.insert(simulated.begin(), demoDeviceFolder());
    MobileDeviceLibrary& library = MobileDeviceLibrary::instance();
    library.setLibraryFile(
        mobileDeviceLibraryFile(simulated.empty() ? DeviceKind::Real : DeviceKind::Simulated));
    // Set before listening: the monitor drops devices reported while it has no listener.
    DeviceMonitor::instance().setListener(&attached_);
    try {
        DeviceMonitor::instance().startListening();
    } catch (const CZelboString& text) {
        const std::string reason = library.loadError();
        throw CommandFailure(text.toUtf8() + (reason.empty() ? "" : " (" + reason + ")"));
    }
    if (simulated.empty())
        waitForRealDevices();
    else
        attachSimulatedDevices(simulated);
}

void DeviceSession::attachSimulatedDevices(const std::vector<std::string>& folders) {
    const auto attach = simulatorControl<int(const char*)>("PlovikSimAttach");
    const auto flush = simulatorControl<int()>("PlovikSimFlushNotifications");
    for (const std::string& folder : folders) {
        const int result = attach(folder.c_str());
        if (result == kPlovikSimAlreadyAttached)
            throw CommandFailure(folder + ": a device with the same identifier is attached");
        if (result != kPlovikSimOk)
            throw CommandFailure(folder + ": not a simulated device folder");
    }
    flush();
    const size_t expected = folders.size();
    attached_.waitFor(
        [&](const std::vector<AMDevice*>& devices) { return devices.size() >= expected; },
        kSimulatedArrivalWait);
}

void DeviceSession::waitForNamedDevice() {
    const auto named = [this](const AMDevice* device) {
        return device->uniqueDeviceID().toUtf8() == udid_;
    };
    const auto arrived = [&](const std::vector<AMDevice*>& devices) {
        return std::any_of(devices.begin(), devices.end(), named);
    };
    // Its placeholder leaves before its successor comes, so the two are never listed together.
    const auto settled = [&](const std::vector<AMDevice*>& devices) {
        return std::any_of(devices.begin(), devices.end(), [&](const AMDevice* device) {
            return named(device) && device->accessState() != kAMDeviceAccessConnecting;
        });
    };
    if (attached_.waitFor(arrived, kRealArrivalWait))
        attached_.waitFor(settled, kConnectingWait);
}

size_t DeviceSession::waitForArrivals() {
    size_t seen = 0;
    // Counted as the wait sees it: a look afterwards might fall between a placeholder's leaving
    // and its successor's coming.
    const auto count = [&seen](const std::vector<AMDevice*>& devices) {
        seen = std::max(seen, devices.size());
    };
    const int expected = announcedDeviceCount();
    if (expected >= 0) {
        attached_.waitFor(
            [&](const std::vector<AMDevice*>& devices) {
                count(devices);
                return devices.size() >= static_cast<size_t>(expected);
            },
            kRealArrivalWait);
        return seen;
    }
    // Without a count, the arrivals are taken once none came for a moment.
    const auto deadline = std::chrono::steady_clock::now() + kRealArrivalWait;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= 0ms)
            break;
        const auto slice =
            seen == 0 ? left : std::min<std::chrono::milliseconds>(left, kQuietAfterArrival);
        const size_t previous = seen;
        const auto more = [&](const std::vector<AMDevice*>& devices) {
            count(devices);
            return devices.size() > previous;
        };
        if (!attached_.waitFor(more, slice))
            break;
    }
    return seen;
}

void DeviceSession::waitForRealDevices() {
    // With a device named, others that may follow close behind do not matter.
    if (!udid_.empty()) {
        waitForNamedDevice();
        return;
    }
    const size_t seen = waitForArrivals();
    // A device announced as connecting is replaced by its complete object (snapshot read) or by
    // one that says why it allows no session: the placeholder leaves, its successor comes right
    // after. The list is taken once none is connecting and every device seen is in it; one short
    // (a successor on its way, or a device unplugged) is taken once it held still for a moment.
    for (;;) {
        if (!attached_.waitFor(noneConnecting, kConnectingWait))
            return;
        const std::vector<AMDevice*> settled = attached_.devices();
        if (settled.size() >= seen)
            return;
        if (!attached_.waitFor(
                [&](const std::vector<AMDevice*>& devices) { return devices != settled; },
                kQuietAfterArrival)) {
            return;
        }
    }
}

std::vector<AMDevice*> DeviceSession::devices() const {
    return attached_.devices();
}

AMDevice& DeviceSession::chosenDevice() {
    const std::vector<AMDevice*> all = devices();
    AMDevice* chosen = nullptr;
    if (!udid_.empty()) {
        const auto found = std::find_if(all.begin(), all.end(), [&](AMDevice* device) {
            return device->uniqueDeviceID().toUtf8() == udid_;
        });
        if (found == all.end())
            throw CommandFailure("no attached device has the identifier " + udid_);
        chosen = *found;
    } else if (all.empty()) {
        throw CommandFailure("no device attached");
    } else if (all.size() > 1) {
        throw CommandFailure("several devices attached: choose one with --device UDID");
    } else {
        chosen = all.front();
    }
    if (const std::string problem = accessProblem(*chosen); !problem.empty())
        throw CommandFailure("the device " + chosen->uniqueDeviceID().toUtf8() + " " + problem);
    return *chosen;
}

std::shared_ptr<ZelboLib::DeviceFileSystemNode> DeviceSession::deviceNode() {
    if (!deviceNode_) {
        AMDevice& device = chosenDevice();
        // The session's listener owns the device for the rest of the process.
        deviceNode_ = ZelboLib::DeviceFileSystemNode::create(
            std::shared_ptr<AMDevice>(&device, [](AMDevice*) {}));
    }
    return deviceNode_;
}
