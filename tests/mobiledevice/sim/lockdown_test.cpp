// Connections, sessions, values, service starts and injected faults.

#include "simtest.h"

namespace {

class LockdownTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        handle_ = attach(device_);
        ASSERT_NE(nullptr, handle_);
    }

    std::optional<std::string> stringValue(const char* domain, const char* key) {
        PlistNode value(
            SIM_CALL(AMDeviceCopyValue, handle_,
                     domain != nullptr ? makeString(domain).get() : nullptr, makeString(key).get()),
            &plist_free);
        if (!value || plist_get_node_type(value.get()) != PLIST_STRING) {
            return std::nullopt;
        }
        char* text = nullptr;
        plist_get_string_val(value.get(), &text);
        std::string result(text);
        free(text);
        return result;
    }

    TempDevice device_{"0123456789abcdef0123456789abcdef01234567"};
    AMDeviceRef handle_ = nullptr;
};

TEST_F(LockdownTest, ValuesOnlyInsideASession) {
    EXPECT_EQ(std::nullopt, stringValue(nullptr, "DeviceName"));
    ASSERT_EQ(0, SIM_CALL(AMDeviceConnect, handle_));
    EXPECT_EQ(std::nullopt, stringValue(nullptr, "DeviceName"));
    ASSERT_EQ(0, SIM_CALL(AMDeviceStartSession, handle_));

    EXPECT_EQ("Test iPhone", stringValue(nullptr, "DeviceName"));
    EXPECT_EQ(std::nullopt, stringValue(nullptr, "NoSuchKey"));
    EXPECT_EQ(std::nullopt, stringValue("no.such.domain", "DeviceName"));
    // The control key is no lockdown value.
    EXPECT_EQ(std::nullopt, stringValue(nullptr, "AccessState"));

    PlistNode capacity(
        SIM_CALL(AMDeviceCopyValue, handle_, makeString("com.apple.mobile.battery").get(),
                 makeString("BatteryCurrentCapacity").get()),
        &plist_free);
    ASSERT_NE(nullptr, capacity);
    uint64_t percent = 0;
    plist_get_uint_val(capacity.get(), &percent);
    EXPECT_EQ(76u, percent);
    // The copy belongs to the caller: changing it changes nothing in the device.
    plist_set_uint_val(capacity.get(), 5);
    PlistNode again(
        SIM_CALL(AMDeviceCopyValue, handle_, makeString("com.apple.mobile.battery").get(),
                 makeString("BatteryCurrentCapacity").get()),
        &plist_free);
    plist_get_uint_val(again.get(), &percent);
    EXPECT_EQ(76u, percent);

    endSession(handle_);
    EXPECT_EQ(std::nullopt, stringValue(nullptr, "DeviceName"));
}

TEST_F(LockdownTest, ADeviceThatIsNotReadyTellsOnlyItsPublicValuesWithoutASession) {
    for (const int state : {kAMDeviceAccessLocked, kAMDeviceAccessUntrusted}) {
        ASSERT_EQ(kPlovikSimOk,
                  SIM_CALL(PlovikSimSetAccessState, device_.uniqueDeviceId().c_str(), state));
        // No connection either, as a device refusing sessions is asked.
        EXPECT_EQ("Test iPhone", stringValue(nullptr, "DeviceName"));
        EXPECT_EQ("iPhone14,2", stringValue(nullptr, "ProductType"));
        EXPECT_EQ(std::nullopt, stringValue(nullptr, "AccessState"));
        EXPECT_EQ(std::nullopt, stringValue("com.apple.mobile.battery", "BatteryCurrentCapacity"));
        PlistNode all(SIM_CALL(AMDeviceCopyValue, handle_, nullptr, nullptr), &plist_free);
        ASSERT_NE(nullptr, all);
        EXPECT_EQ(3u, plist_dict_get_size(all.get()));  // name, identifier and type
    }
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimSetAccessState, device_.uniqueDeviceId().c_str(),
                                     kAMDeviceAccessReady));
    EXPECT_EQ(std::nullopt, stringValue(nullptr, "DeviceName"));
}

TEST_F(LockdownTest, IdentifierWithoutSession) {
    PlistNode identifier(SIM_CALL(AMDeviceCopyDeviceIdentifier, handle_), &plist_free);
    ASSERT_NE(nullptr, identifier);
    char* text = nullptr;
    plist_get_string_val(identifier.get(), &text);
    EXPECT_EQ(device_.uniqueDeviceId(), text);
    free(text);
}

TEST_F(LockdownTest, FramesOfTwoCallersNest) {
    beginSession(handle_);
    beginSession(handle_);
    endSession(handle_);
    // The first caller's session is still open.
    EXPECT_EQ("Test iPhone", stringValue(nullptr, "DeviceName"));
    endSession(handle_);
    EXPECT_NE(0, SIM_CALL(AMDeviceStopSession, handle_));
    EXPECT_NE(0, SIM_CALL(AMDeviceDisconnect, handle_));
    EXPECT_NE(0, SIM_CALL(AMDeviceStartSession, handle_));
}

TEST_F(LockdownTest, ServicesNeedASessionAndAnOffer) {
    int result = 0;
    EXPECT_EQ(nullptr, startService(handle_, "com.apple.afc", &result));
    EXPECT_NE(0, result);

    beginSession(handle_);
    EXPECT_NE(nullptr, startService(handle_, "com.apple.afc"));
    // No Root folder: no whole file system.
    EXPECT_EQ(nullptr, startService(handle_, "com.apple.afc2", &result));
    EXPECT_NE(0, result);
    EXPECT_EQ(nullptr, startService(handle_, "com.apple.unknown", &result));
    EXPECT_NE(0, result);

    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimRefuseService, "com.apple.afc", 1));
    EXPECT_EQ(nullptr, startService(handle_, "com.apple.afc", &result));
    EXPECT_NE(0, result);
    AMDServiceConnectionRef secure = nullptr;
    EXPECT_NE(0, SIM_CALL(AMDeviceSecureStartService, handle_, makeString("com.apple.afc").get(),
                          nullptr, &secure));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimRefuseService, "com.apple.afc", 0));
    EXPECT_EQ(0, SIM_CALL(AMDeviceSecureStartService, handle_, makeString("com.apple.afc").get(),
                          nullptr, &secure));

    std::filesystem::create_directories(device_.folder() / "Root");
    EXPECT_NE(nullptr, startService(handle_, "com.apple.afc2"));
    endSession(handle_);
}

TEST_F(LockdownTest, InjectedFaultsFailTheNamedEntryPointOnly) {
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimSetFault, "AMDeviceStartSession", 0x1234));
    ASSERT_EQ(0, SIM_CALL(AMDeviceConnect, handle_));
    EXPECT_EQ(0x1234, SIM_CALL(AMDeviceStartSession, handle_));

    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimSetFault, "AMDeviceStartSession", 0));
    ASSERT_EQ(0, SIM_CALL(AMDeviceStartSession, handle_));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimSetFault, "AMDeviceCopyValue", 1));
    EXPECT_EQ(std::nullopt, stringValue(nullptr, "DeviceName"));
    endSession(handle_);

    EXPECT_EQ(kPlovikSimBadArgument, SIM_CALL(PlovikSimSetFault, "AMDeviceConect", 1));
    EXPECT_EQ(kPlovikSimBadArgument, SIM_CALL(PlovikSimSetFault, nullptr, 1));
}

}  // namespace
