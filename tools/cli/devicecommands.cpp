#include <cstdio>
#include <string>

#include "commandarguments.h"
#include "commandfailure.h"
#include "commands.h"
#include "device/amapplication.h"
#include "device/amdevice.h"
#include "device/aminstallationproxy.h"
#include "devicesession.h"
#include "values/bytesize.h"
#include "values/nsarray.h"

namespace {

const char* stateText(AMDeviceAccessState state) {
    switch (state) {
        case kAMDeviceAccessReady:
            return "ready";
        case kAMDeviceAccessLocked:
            return "locked";
        case kAMDeviceAccessUntrusted:
            return "untrusted";
        case kAMDeviceAccessDenied:
            return "denied";
        case kAMDeviceAccessConnecting:
            return "connecting";
    }
    return "unknown";
}

std::string orDash(const CZelboString& text) {
    return text.isEmpty() ? "-" : text.toUtf8();
}

}  // namespace

int runDevices(DeviceSession& session, const CommandArguments& arguments) {
    arguments.requireOperands(0, 0);
    for (AMDevice* device : session.devices()) {
        // A device that allows no session tells what it gives without one.
        std::printf("%s\t%s\t%s\t%s\t%s\n", device->uniqueDeviceID().toUtf8().c_str(),
                    orDash(device->name()).c_str(), orDash(device->productType()).c_str(),
                    orDash(device->stringValue(u"ProductVersion")).c_str(),
                    stateText(device->accessState()));
    }
    return 0;
}

int runInfo(DeviceSession& session, const CommandArguments& arguments) {
    arguments.requireOperands(0, 0);
    AMDevice& device = session.chosenDevice();
    for (const auto& [key, value] : device.information().entries()) {
        if (key == u"allKeys" || value == nullptr)
            continue;
        std::printf("%s: %s\n", key.toUtf8().c_str(), value->description().toUtf8().c_str());
    }
    std::printf("Capacity: %s\n", formatByteSize(device.totalDataCapacity()).toUtf8().c_str());
    std::printf("Available: %s\n", formatByteSize(device.totalDataAvailable()).toUtf8().c_str());
    return 0;
}

int runApps(DeviceSession& session, const CommandArguments& arguments) {
    arguments.requireOperands(0, 0);
    const auto proxy = session.chosenDevice().openInstallationProxy();
    if (!proxy)
        throw CommandFailure("the device refused the installation proxy");
    const auto apps = proxy->browseApplications();
    for (int index = 0; apps && index < apps->count(); ++index) {
        if (const auto* app = dynamic_cast<const AMApplication*>(apps->objectAtIndex(index))) {
            std::printf("%s\t%s\n", app->bundleIdentifier().toUtf8().c_str(),
                        app->displayName().toUtf8().c_str());
        }
    }
    // What came is shown; a listing the device broke off still fails.
    if (!proxy->lastError().isEmpty())
        throw CommandFailure(proxy->lastError().toUtf8());
    return 0;
}
