// The fixtures of the library's tests: a subscribed harness with its stand-in daemon, and an AFC
// connection to a device of the test's own.
#ifndef PLOVIK_TESTS_USBMUX_USBMUXFIXTURES_H
#define PLOVIK_TESTS_USBMUX_USBMUXFIXTURES_H

#include "plistitems.h"
#include "usbmuxharness.h"

#include <string>
#include <vector>

class UsbmuxLibraryTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, harness_.subscribe());
        harness_.mux();
    }

    // Attaches a device and waits until the library announced it: Arrived, or NotReady for a
    // reason other than connecting (the first NotReady, sent at once).
    AMDeviceRef arrive(const standin::DeviceState& device, uint32_t message = kAMDeviceArrived) {
        harness_.mux().attach(device);
        const bool notReady = message == kAMDeviceNotReady;
        const std::optional<AMDeviceRef> handle = recorder().waitFor(
            device.udid, message, notReady ? 2 : 1, notReady ? kPairingWait : kEventWait);
        EXPECT_TRUE(handle.has_value()) << "no message " << message << " for " << device.udid;
        return handle.value_or(nullptr);
    }

    AMDServiceConnectionRef startService(AMDeviceRef device, const char* name) {
        const plovik::devemu::Plist service(plist_new_string(name));
        AMDServiceConnectionRef connection = nullptr;
        EXPECT_EQ(0, MD(AMDeviceConnect)(device));
        EXPECT_EQ(0, MD(AMDeviceStartSession)(device));
        EXPECT_EQ(0, MD(AMDeviceStartService)(device, service.get(), &connection, nullptr));
        // The connection outlives the session and the lockdown connection it was started from.
        EXPECT_EQ(0, MD(AMDeviceStopSession)(device));
        EXPECT_EQ(0, MD(AMDeviceDisconnect)(device));
        return connection;
    }

    Recorder& recorder() { return harness_.recorder(); }

    Harness& harness_ = Harness::instance();
};

class AfcTest : public UsbmuxLibraryTest {
protected:
    void SetUp() override {
        UsbmuxLibraryTest::SetUp();
        AMDeviceRef handle = arrive(harness_.newDevice());
        ASSERT_NE(nullptr, handle);
        service_ = startService(handle, "com.apple.afc");
        ASSERT_NE(nullptr, service_);
        ASSERT_EQ(0, MD(AFCConnectionOpen)(service_, 0, &afc_));
    }

    void TearDown() override {
        if (afc_ != nullptr) {
            EXPECT_EQ(0, MD(AFCConnectionClose)(afc_));
        }
        if (service_ != nullptr) {
            EXPECT_EQ(0, MD(AMDServiceConnectionInvalidate)(service_));
        }
    }

    void writeFile(const char* path, const std::string& content,
                   AFCFileMode mode = kAFCFileModeWriteTruncate) {
        AFCFileRef file = 0;
        ASSERT_EQ(0, MD(AFCFileRefOpen)(afc_, path, mode, 0, &file));
        EXPECT_EQ(0, MD(AFCFileRefWrite)(afc_, file, content.data(),
                                         static_cast<uint32_t>(content.size())));
        EXPECT_EQ(0, MD(AFCFileRefClose)(afc_, file));
    }

    std::vector<std::string> list(const char* path) {
        AFCDirectoryRef directory = nullptr;
        std::vector<std::string> names;
        EXPECT_EQ(0, MD(AFCDirectoryOpen)(afc_, path, &directory));
        char* name = nullptr;
        while (MD(AFCDirectoryRead)(afc_, directory, &name) == 0 && name != nullptr) {
            names.emplace_back(name);
        }
        EXPECT_EQ(0, MD(AFCDirectoryClose)(afc_, directory));
        return names;
    }

    AMDServiceConnectionRef service_ = nullptr;
    AFCConnectionRef afc_ = nullptr;
};

#endif
