#include "device/mobiledevicelibrary.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "device/callfailure.h"
#include "device/mobiledevicecalls.h"
#include "values/plistconversion.h"

namespace {

// Every test starts without a library or resolver and leaves none behind.
class MobileDeviceLibraryTest : public testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        MobileDeviceLibrary::instance().setResolver(nullptr);
        MobileDeviceLibrary::instance().setLibraryFile("");
    }
    static AMDeviceRef someDevice() { return reinterpret_cast<AMDeviceRef>(0x1000); }
};

TEST_F(MobileDeviceLibraryTest, MissingLibraryFailsEveryCallWithMinusOne) {
    MobileDeviceLibrary::instance().setLibraryFile("libplovik-does-not-exist.so");
    EXPECT_EQ(MobileDevice::AMDeviceConnect(someDevice()), -1);
    EXPECT_EQ(MobileDevice::AMDServiceConnectionReceive(nullptr, nullptr, 0), -1);
    const PlistPtr key = ZelboLib::plistStringFromText(u"DeviceName");
    EXPECT_EQ(MobileDevice::AMDeviceCopyValue(someDevice(), nullptr, key.get()), nullptr);
    EXPECT_NE(MobileDeviceLibrary::instance().loadError(), "");
}

TEST_F(MobileDeviceLibraryTest, LoadsByFileNameAfterFailedTriesAndLooksEachEntryUp) {
    MobileDeviceLibrary::instance().setLibraryFile("libplovik-does-not-exist.so");
    EXPECT_EQ(MobileDevice::AMDeviceConnect(someDevice()), -1);

    // A later call tries again, now with a library that is there.
    MobileDeviceLibrary::instance().setLibraryFile(PARTIAL_MOBILEDEVICE_LIBRARY);
    EXPECT_EQ(MobileDevice::AMDeviceConnect(someDevice()), 0);
    EXPECT_EQ(MobileDevice::AMDeviceConnect(nullptr), 0x16);
    EXPECT_EQ(MobileDeviceLibrary::instance().loadError(), "");

    const PlistPtr key = ZelboLib::plistStringFromText(u"DeviceName");
    const PlistPtr value(MobileDevice::AMDeviceCopyValue(someDevice(), nullptr, key.get()));
    CZelboString text;
    ZelboLib::textFromPlistString(value.get(), text);
    EXPECT_EQ(text.view(), u"DeviceName");

    // The library lacks the others: each of them fails alone.
    EXPECT_EQ(MobileDevice::AMDeviceStartSession(someDevice()), -1);
    EXPECT_EQ(MobileDevice::AFCFileRefClose(nullptr, 0), -1);
}

int recordedSubscribe(AMDeviceNotificationCallback, uint32_t unused0, uint32_t unused1,
                      void* context, AMDeviceNotificationRef* out) {
    *out = reinterpret_cast<AMDeviceNotificationRef>(context);
    return static_cast<int>(unused0 + unused1);
}

int failingSeek(AFCConnectionRef, AFCFileRef file, int64_t offset, uint64_t origin) {
    return file == 7 && offset == -3 && origin == 2 ? 0 : 1;
}

TEST_F(MobileDeviceLibraryTest, ResolverStandsInForTheLibraryAndPassesArgumentsInOrder) {
    const std::map<std::string, void*> table = {
        {"AMDeviceNotificationSubscribe", reinterpret_cast<void*>(&recordedSubscribe)},
        {"AFCFileRefSeek", reinterpret_cast<void*>(&failingSeek)},
    };
    MobileDeviceLibrary::instance().setResolver([&table](const char* name) -> void* {
        const auto entry = table.find(name);
        return entry == table.end() ? nullptr : entry->second;
    });
    int context = 0;
    AMDeviceNotificationRef notification = nullptr;
    EXPECT_EQ(MobileDevice::AMDeviceNotificationSubscribe(nullptr, 2, 3, &context, &notification),
              5);
    EXPECT_EQ(notification, reinterpret_cast<AMDeviceNotificationRef>(&context));
    EXPECT_EQ(MobileDevice::AFCFileRefSeek(nullptr, 7, -3, 2), 0);
    EXPECT_EQ(MobileDevice::AMDeviceConnect(someDevice()), -1);
}

TEST(CallFailureText, ShowsTheResultInLowerCaseHexadecimal) {
    EXPECT_EQ(callFailureText("AMDeviceConnect", -1).view(), u"AMDeviceConnect failed: ffffffff");
    EXPECT_EQ(callFailureText("AMDeviceStartSession", static_cast<int>(0xE800001Au)).view(),
              u"AMDeviceStartSession failed: e800001a");
    EXPECT_EQ(callFailureText("AFCConnectionOpen", 7).view(), u"AFCConnectionOpen failed: 7");
}

}  // namespace
