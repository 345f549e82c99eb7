#include "support/simulateddevice.h"

#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>

#include "device/devicemonitor.h"
#include "device/mobiledeviceaccesslistener.h"
#include "device/mobiledevicelibrary.h"
#include "values/plistconversion.h"

namespace {

// Owns every device the monitor reports and lets tests wait for one by identifier.
class ArrivalCollector : public MobileDeviceAccessListener {
public:
    void onDeviceConnected(const std::shared_ptr<AMDevice>& device) override {
        const std::lock_guard lock(mutex_);
        devices_.push_back(device);
        changed_.notify_all();
    }
    void onDeviceDisconnected(const std::shared_ptr<AMDevice>& device) override {
        const std::lock_guard lock(mutex_);
        removed_.insert(device.get());
        changed_.notify_all();
    }
    AMDevice* waitForArrival(const std::string& udid, bool ready) {
        std::unique_lock lock(mutex_);
        AMDevice* found = nullptr;
        changed_.wait_for(lock, std::chrono::seconds(10), [&] {
            for (const auto& device : devices_) {
                if (device->uniqueDeviceID().toUtf8() == udid && !removed_.contains(device.get()) &&
                    (!ready || device->accessState() == kAMDeviceAccessReady)) {
                    found = device.get();
                }
            }
            return found != nullptr;
        });
        return found;
    }
    bool waitForRemoval(AMDevice* device) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10),
                                 [&] { return removed_.contains(device); });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::shared_ptr<AMDevice>> devices_;
    std::set<AMDevice*> removed_;
};

ArrivalCollector& collector() {
    static ArrivalCollector* instance = [] {
        auto* made = new ArrivalCollector;  // lives as long as the monitor: to the process's end
        MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY);
        DeviceMonitor::instance().setListener(made);
        DeviceMonitor::instance().startListening();
        return made;
    }();
    return *instance;
}

void writePlist(const std::filesystem::path& file, plist_t dictionary) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(dictionary, &xml, &length);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(xml, length);
    free(xml);
}

std::string freshUdid() {
    static std::mt19937_64 random{std::random_device{}()};
    char text[41];
    snprintf(text, sizeof text, "%016llx%016llx%08x", static_cast<unsigned long long>(random()),
             static_cast<unsigned long long>(random()), static_cast<unsigned>(random()));
    return text;
}

}  // namespace

void* SimulatedDevice::simulatorEntry(const char* name) {
    // Opened once and kept (as every earlier open was): a dlopen for each lookup costs a scan of
    // every module under ThreadSanitizer, which made lookups by the thousand take minutes.
    static void* const library = dlopen(PLOVIK_SIM_LIBRARY, RTLD_NOW);
    return library ? dlsym(library, name) : nullptr;
}

SimulatedDevice::SimulatedDevice(const ExistingFolder& existing)
    : path_(existing.path), udid_(existing.udid) {
    attach();
}

SimulatedDevice::SimulatedDevice(const std::map<std::string, std::string>& values,
                                 const std::vector<App>& apps, bool withRoot)
    : path_(folder_.path()), udid_(freshUdid()) {
    const PlistPtr plist(plist_new_dict());
    plist_dict_set_item(plist.get(), "DeviceName", plist_new_string("Test iPhone"));
    plist_dict_set_item(plist.get(), "ProductType", plist_new_string("iPhone14,2"));
    plist_dict_set_item(plist.get(), "UniqueDeviceID", plist_new_string(udid_.c_str()));
    for (const auto& [key, value] : values) {
        plist_dict_set_item(plist.get(), key.c_str(), plist_new_string(value.c_str()));
    }
    writePlist(path_ / "device.plist", plist.get());
    std::filesystem::create_directories(media());
    if (withRoot)
        std::filesystem::create_directories(root());
    for (const App& app : apps) {
        const PlistPtr info(plist_new_dict());
        plist_dict_set_item(info.get(), "CFBundleIdentifier",
                            plist_new_string(app.bundleIdentifier.c_str()));
        plist_dict_set_item(info.get(), "CFBundleDisplayName",
                            plist_new_string(app.displayName.c_str()));
        writePlist(path_ / "Apps" / app.bundleIdentifier / "Info.plist", info.get());
        std::filesystem::create_directories(container(app.bundleIdentifier) / "Documents");
    }

    attach();
}

void SimulatedDevice::attach() {
    ArrivalCollector& arrivals = collector();
    const auto attachFolder =
        reinterpret_cast<int (*)(const char*)>(simulatorEntry("PlovikSimAttach"));
    if (attachFolder == nullptr || attachFolder(path_.c_str()) != 0) {
        throw std::runtime_error("the simulator did not attach " + path_.string());
    }
    attached_ = true;
    device_ = arrivals.waitForArrival(udid_, false);
    if (device_ == nullptr)
        throw std::runtime_error("no arrival for " + udid_);
}

AMDevice& SimulatedDevice::waitUntilReady() {
    device_ = collector().waitForArrival(udid_, true);
    if (device_ == nullptr)
        throw std::runtime_error("no ready device " + udid_);
    return *device_;
}

void SimulatedDevice::unplug() {
    if (!attached_)
        return;
    attached_ = false;
    const auto detach = reinterpret_cast<int (*)(const char*)>(simulatorEntry("PlovikSimDetach"));
    if (detach != nullptr && detach(udid_.c_str()) == 0)
        collector().waitForRemoval(device_);
}

SimulatedDevice::~SimulatedDevice() {
    unplug();
}
