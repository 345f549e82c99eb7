#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/amdevice.h"
#include "support/temporaryfolder.h"

/**
 * A simulated device for tests of the core: a device folder in a temporary folder (device.plist,
 * Media/, Root/, Apps/), attached through the simulator library loaded by file name as the program
 * loads its library, and the AMDevice the device monitor made for it. Detached when it goes.
 */
class SimulatedDevice {
public:
    struct App {
        std::string bundleIdentifier;
        std::string displayName;
    };

    /** withRoot false leaves out Root/, so the device offers no whole file system. */
    explicit SimulatedDevice(const std::map<std::string, std::string>& values = {},
                             const std::vector<App>& apps = {}, bool withRoot = true);
    /** An existing device folder (the demo device, say) and its UniqueDeviceID. */
    struct ExistingFolder {
        std::filesystem::path path;
        std::string udid;
    };
    explicit SimulatedDevice(const ExistingFolder& existing);
    ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    AMDevice& device() const { return *device_; }
    const std::string& udid() const { return udid_; }
    std::filesystem::path media() const { return path_ / "Media"; }
    std::filesystem::path root() const { return path_ / "Root"; }
    std::filesystem::path container(const std::string& bundleIdentifier) const {
        return path_ / "Apps" / bundleIdentifier / "Container";
    }

    /** Waits until the device monitor holds a complete (ready) device for this one. */
    AMDevice& waitUntilReady();

    /** Detaches the device now, as an unplug does; device() stays, with every call failing. */
    void unplug();

    /** An entry point of the simulator library (its control calls among them). */
    static void* simulatorEntry(const char* name);

private:
    void attach();

    TemporaryFolder folder_;
    std::filesystem::path path_;
    std::string udid_;
    AMDevice* device_ = nullptr;
    bool attached_ = false;
};
