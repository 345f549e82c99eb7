// The device classes against the simulator library, loaded by file name as the program does.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "afc/afcapplicationdirectory.h"
#include "afc/afcmediadirectory.h"
#include "afc/afcrootdirectory.h"
#include "device/amapplication.h"
#include "device/aminstallationproxy.h"
#include "mobiledevice/sim/plovik_sim.h"
#include "support/simulateddevice.h"
#include "values/nsarray.h"

namespace {

template <typename Function>
Function* simulator(const char* name) {
    return reinterpret_cast<Function*>(SimulatedDevice::simulatorEntry(name));
}

std::vector<std::u16string> appNames(const ZelboLib::NSArray& apps) {
    std::vector<std::u16string> names;
    for (int i = 0; i < apps.count(); ++i) {
        names.emplace_back(
            static_cast<AMApplication*>(apps.objectAtIndex(i))->displayName().view());
    }
    return names;
}

// Faults are process-wide in the simulator: every test puts them back.
class SimulatorDeviceTest : public testing::Test {
protected:
    ~SimulatorDeviceTest() override {
        simulator<int(int)>("PlovikSimSetBrowsePageSize")(20);
        simulator<int(size_t)>("PlovikSimSetReplyChunking")(0);
        simulator<int(const char*, const char*)>("PlovikSimSetHouseArrestRefusal")("VendContainer",
                                                                                   nullptr);
        simulator<int(const char*, const char*)>("PlovikSimSetHouseArrestRefusal")("VendDocuments",
                                                                                   nullptr);
    }
};

TEST_F(SimulatorDeviceTest, TheDemoDeviceArrivesWithItsSnapshotAppsAndContainers) {
    SimulatedDevice demo(SimulatedDevice::ExistingFolder{
        PLOVIK_DEMO_DEVICE, "d3a1f0c2b4e6a8c0d2f4e6a8b0c2d4e6f8a0b2c4"});
    AMDevice& device = demo.device();
    EXPECT_EQ(device.name().view(), u"Demo iPhone");
    EXPECT_EQ(device.deviceFamily(), AMDevice::Family::iPhone);
    EXPECT_EQ(device.stringValue(u"ProductVersion").view(), u"17.1");
    EXPECT_EQ(device.stringValue(u"BatteryCurrentCapacity").view(), u"76");
    EXPECT_GT(device.totalDataCapacity(), device.totalDataAvailable());
    EXPECT_GT(device.totalDataAvailable(), 0);

    const auto proxy = device.openInstallationProxy();
    ASSERT_NE(proxy, nullptr);
    const auto apps = proxy->browseApplications();
    ASSERT_NE(apps, nullptr);
    EXPECT_EQ(apps->count(), 2);
    for (int i = 0; i < apps->count(); ++i) {
        const auto* app = static_cast<AMApplication*>(apps->objectAtIndex(i));
        const auto container =
            device.openApplicationDirectory(app->bundleIdentifier().toUtf8().c_str());
        ASSERT_NE(container, nullptr) << app->bundleIdentifier().toUtf8();
        EXPECT_TRUE(container->pathExists(u"/Documents"));
    }
    EXPECT_NE(device.openMediaDirectory(), nullptr);
    EXPECT_NE(device.openRootDirectory(), nullptr);
}

TEST_F(SimulatorDeviceTest, BrowsesEveryPageOfChunkedReplies) {
    std::vector<SimulatedDevice::App> apps;
    for (const char* name : {"Alpha", "Bravo", "Charlie", "Delta", "Echo"}) {
        apps.push_back({std::string("com.example.") + name, name});
    }
    SimulatedDevice simulated({}, apps);
    simulator<int(int)>("PlovikSimSetBrowsePageSize")(3);
    simulator<int(size_t)>("PlovikSimSetReplyChunking")(7);
    const auto list = simulated.device().openInstallationProxy()->browseApplications();
    ASSERT_NE(list, nullptr);
    std::vector<std::u16string> names = appNames(*list);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::u16string>{u"Alpha", u"Bravo", u"Charlie", u"Delta", u"Echo"}));
}

TEST_F(SimulatorDeviceTest, AContainerTheDeviceRefusesIsReachedThroughItsDocuments) {
    SimulatedDevice simulated({}, {{"com.example.Store", "Store"}});
    std::ofstream(simulated.container("com.example.Store") / "Documents" / "shared.txt") << "x";
    const auto refuse = simulator<int(const char*, const char*)>("PlovikSimSetHouseArrestRefusal");
    refuse("VendContainer", "InstallationLookupFailed");

    const auto documents = simulated.device().openApplicationDirectory("com.example.Store");
    ASSERT_NE(documents, nullptr);
    EXPECT_TRUE(documents->pathExists(u"/Documents/shared.txt"));

    refuse("VendDocuments", "InstallationLookupFailed");
    AFCApplicationDirectory refused;
    simulated.device().connect();
    simulated.device().startSession();
    EXPECT_FALSE(refused.openContainer("com.example.Store", simulated.device()));
    simulated.device().stopSession();
    simulated.device().disconnect();
    EXPECT_EQ(refused.errorText().view(), u"House Arrest failed, InstallationLookupFailed");
    EXPECT_EQ(simulated.device().openApplicationDirectory("com.example.Unknown"), nullptr);
}

TEST_F(SimulatorDeviceTest, ALockedDeviceBecomesCompleteWhenUnlocked) {
    const std::map<std::string, std::string> values = {
        {"AccessState", "Locked"}, {"DeviceName", "Locked Phone"}, {"SerialNumber", "F2LOCKED"}};
    SimulatedDevice simulated(values);
    EXPECT_EQ(simulated.device().accessState(), kAMDeviceAccessLocked);
    // Known without a session: what the device tells any computer, and no more.
    EXPECT_EQ(simulated.device().name().view(), u"Locked Phone");
    EXPECT_EQ(simulated.device().serialNumber().view(), u"");
    EXPECT_EQ(simulated.device().openMediaDirectory(), nullptr);

    simulator<int(const char*, int)>("PlovikSimSetAccessState")(simulated.udid().c_str(),
                                                                kAMDeviceAccessReady);
    AMDevice& ready = simulated.waitUntilReady();
    EXPECT_EQ(ready.name().view(), u"Locked Phone");
    EXPECT_NE(ready.openMediaDirectory(), nullptr);
}

TEST_F(SimulatorDeviceTest, AnUnpluggedDeviceFailsEveryCall) {
    SimulatedDevice simulated;
    AMDevice& device = simulated.device();
    simulated.unplug();
    EXPECT_EQ(device.deviceHandle(), nullptr);
    EXPECT_EQ(device.copyValue(u"DeviceName"), nullptr);
    EXPECT_TRUE(device.lastErrorText().view().starts_with(u"AMDeviceConnect failed: "));
}

}  // namespace
