#include "device/amdevice.h"

#include <gtest/gtest.h>

#include <string>

#include "afc/afcmediadirectory.h"
#include "afc/afcrootdirectory.h"
#include "device/aminstallationproxy.h"
#include "device/fakemobiledevice.h"
#include "values/cautostring.h"
#include "values/nsarray.h"

namespace {

using ZelboLib::Owned;

class AMDeviceTest : public testing::Test {
protected:
    Owned<AMDevice> attach(const std::map<std::string, std::string>& values) {
        CZelboString error;
        return AMDevice::attach(fake.addDevice(values), error);
    }

    FakeMobileDevice fake;
};

TEST_F(AMDeviceTest, ReadsTheSnapshotOnceOverOneConnection) {
    Owned<AMDevice> device =
        attach({{"DeviceName", "Anna's iPhone"},
                {"UniqueDeviceID", "00008110-001A"},
                {"ProductType", "iPhone14,2"},
                {"SupportedDeviceFamilies", "<array><integer>1</integer></array>"},
                {"com.apple.mobile.battery/BatteryCurrentCapacity", "<integer>76</integer>"},
                {"com.apple.mobile.battery/BatteryIsCharging", "<true/>"}});
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->name().view(), u"Anna's iPhone");
    EXPECT_EQ(device->uniqueDeviceID().view(), u"00008110-001A");
    EXPECT_EQ(fake.calls("AMDeviceConnect"), 1);
    EXPECT_EQ(fake.calls("AMDeviceDisconnect"), 1);
    EXPECT_EQ(fake.calls("AMDeviceCopyValue"), 31);

    const auto& info = device->information();
    const auto* allKeys = static_cast<const ZelboLib::NSArray*>(info.objectForKey(u"allKeys"));
    ASSERT_NE(allKeys, nullptr);
    std::u16string listed;
    for (int i = 0; i < allKeys->count(); ++i) {
        listed += allKeys->objectAtIndex(i)->description().view();
        listed += u" ";
    }
    EXPECT_EQ(listed,
              u"DeviceName ProductType UniqueDeviceID SupportedDeviceFamilies "
              u"BatteryIsCharging BatteryCurrentCapacity ");
    EXPECT_EQ(device->stringValue(u"BatteryCurrentCapacity").view(), u"76");
    EXPECT_EQ(device->stringValue(u"BatteryIsCharging").view(), u"True");
    EXPECT_EQ(device->stringValue(u"SupportedDeviceFamilies").view(), u"");
    EXPECT_EQ(fake.calls("AMDeviceCopyValue"), 31);  // the snapshot is not read again
}

TEST_F(AMDeviceTest, FamilyComesFromTheProductType) {
    const struct {
        const char* type;
        AMDevice::Family family;
    } cases[] = {{"iPad4,1", AMDevice::Family::iPad},
                 {"iPhone14,2", AMDevice::Family::iPhone},
                 {"iPod9,1", AMDevice::Family::iPodTouch},
                 {"AppleTV3,1", AMDevice::Family::Unknown}};
    for (const auto& c : cases) {
        Owned<AMDevice> device = attach({{"ProductType", c.type}});
        EXPECT_EQ(device->deviceFamily(), c.family) << c.type;
    }
}

TEST_F(AMDeviceTest, DiskFiguresAreLiveAndZeroWhenRefused) {
    Owned<AMDevice> device =
        attach({{"com.apple.disk_usage/TotalDataCapacity", "<integer>255000000000</integer>"},
                {"com.apple.disk_usage/TotalDataAvailable", "<string>lots</string>"}});
    EXPECT_EQ(device->totalDataCapacity(), 255000000000);
    EXPECT_EQ(device->totalDataAvailable(), 0);
    fake.device(device->deviceHandle()).values.clear();
    EXPECT_EQ(device->totalDataCapacity(), 0);
}

TEST_F(AMDeviceTest, AnUnreachableDeviceIsNotMade) {
    fake.setResult("AMDeviceConnect", 0x2a);
    CZelboString error;
    EXPECT_EQ(AMDevice::attach(fake.addDevice({}), error), nullptr);
    EXPECT_EQ(error.view(), u"AMDeviceConnect failed: 2a");
}

TEST_F(AMDeviceTest, AfterRemovalEveryCallFailsAtConnect) {
    Owned<AMDevice> device = attach({{"DeviceName", "Gone"}});
    device->forgetHandle();
    EXPECT_EQ(device->copyValue(u"DeviceName"), nullptr);
    EXPECT_TRUE(device->lastErrorText().view().starts_with(u"AMDeviceConnect failed: "));
    EXPECT_EQ(device->openMediaDirectory(), nullptr);
    EXPECT_EQ(device->name().view(), u"Gone");  // what was read on arrival stays
}

TEST_F(AMDeviceTest, RefusedSessionsGiveNothingAndCloseTheFrame) {
    Owned<AMDevice> device = attach({{"DeviceName", "x"}});
    fake.setResult("AMDeviceStartSession", -1);
    EXPECT_FALSE(device->startSession());
    EXPECT_EQ(device->lastErrorText().view(), u"AMDeviceStartSession failed: ffffffff");

    const int disconnects = fake.calls("AMDeviceDisconnect");
    EXPECT_EQ(device->copyValue(u"DeviceName"), nullptr);
    EXPECT_EQ(fake.calls("AMDeviceDisconnect"), disconnects + 1);

    fake.makeMissing("AMDeviceStartSession");
    EXPECT_EQ(device->openInstallationProxy(), nullptr);
    EXPECT_EQ(fake.calls("AMDeviceDisconnect"), disconnects + 2);
    EXPECT_EQ(fake.openServices(), 0);
}

TEST_F(AMDeviceTest, ServicesFallBackToTheSecureStartAndSurviveTheFrame) {
    Owned<AMDevice> device = attach({});
    fake.setResult("AMDeviceStartService", 0xe8);
    Owned<AMInstallationProxy> proxy = device->openInstallationProxy();
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(fake.calls("AMDeviceSecureStartService"), 1);
    EXPECT_EQ(fake.calls("AMDeviceStopSession"), fake.calls("AMDeviceStartSession"));
    EXPECT_EQ(fake.calls("AMDeviceDisconnect"), fake.calls("AMDeviceConnect"));

    fake.setResult("AMDeviceStartService", 0xe8);
    fake.setResult("AMDeviceSecureStartService", 0xe8);
    EXPECT_EQ(device->openRootDirectory(), nullptr);
    Owned<AFCMediaDirectory> media;
    fake.setResult("AMDeviceSecureStartService", 0);
    media = device->openMediaDirectory();
    ASSERT_NE(media, nullptr);
    EXPECT_NE(media->connection(), nullptr);
}

TEST_F(AMDeviceTest, AfcConnectionFailureIsReportedAndNothingLeaks) {
    Owned<AMDevice> device = attach({});
    fake.setResult("AFCConnectionOpen", -1);
    EXPECT_EQ(device->openMediaDirectory(), nullptr);
    EXPECT_EQ(fake.openServices(), 0);
    EXPECT_EQ(fake.calls("AFCConnectionClose"), 0);
}

}  // namespace
