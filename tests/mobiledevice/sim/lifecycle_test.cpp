// Attaching, detaching, access states and notifications.

#include "simtest.h"

namespace {

using Event = NotificationRecorder::Event;

class LifecycleTest : public SimTest {};

TEST_F(LifecycleTest, NotificationsArriveInOrderOnOneLibraryThread) {
    TempDevice first("1111111111111111111111111111111111111111");
    TempDevice second("2222222222222222222222222222222222222222");
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimAttach, first.folder().c_str()));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimAttach, second.folder().c_str()));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimDetach, first.uniqueDeviceId().c_str()));

    const auto events = recorder_.events();
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ(uint32_t{kAMDeviceArrived}, events[0].message);
    EXPECT_EQ(uint32_t{kAMDeviceArrived}, events[1].message);
    EXPECT_EQ(uint32_t{kAMDeviceRemoved}, events[2].message);
    EXPECT_EQ(events[0].device, events[2].device);
    EXPECT_NE(events[0].device, events[1].device);
    for (const Event& event : events) {
        EXPECT_NE(std::this_thread::get_id(), event.thread);
        EXPECT_EQ(events[0].thread, event.thread);
    }
}

TEST_F(LifecycleTest, LateSubscriberIsToldOfAttachedDevicesOnly) {
    TempDevice kept("1111111111111111111111111111111111111111");
    TempDevice removed("2222222222222222222222222222222222222222", "Locked");
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimAttach, kept.folder().c_str()));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimAttach, removed.folder().c_str()));
    TempDevice locked("3333333333333333333333333333333333333333", "Untrusted");
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimAttach, locked.folder().c_str()));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimDetach, removed.uniqueDeviceId().c_str()));

    auto& late = keepUntilReset(std::make_shared<NotificationRecorder>());
    ASSERT_EQ(0, late.subscribe());
    const auto events = late.events();
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(uint32_t{kAMDeviceArrived}, events[0].message);
    EXPECT_EQ(uint32_t{kAMDeviceNotReady}, events[1].message);
    EXPECT_EQ(kAMDeviceAccessUntrusted, SIM_CALL(AMDeviceGetAccessState, events[1].device));
}

TEST_F(LifecycleTest, AccessStateChangesKeepTheHandle) {
    TempDevice device("1111111111111111111111111111111111111111", "Locked");
    const AMDeviceRef handle = attach(device);
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(kAMDeviceAccessLocked, SIM_CALL(AMDeviceGetAccessState, handle));
    ASSERT_EQ(0, SIM_CALL(AMDeviceConnect, handle));
    EXPECT_NE(0, SIM_CALL(AMDeviceStartSession, handle));

    // Locked to untrusted is no change of readiness: no event.
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimSetAccessState, device.uniqueDeviceId().c_str(),
                                     kAMDeviceAccessUntrusted));
    EXPECT_NE(0, SIM_CALL(AMDeviceStartSession, handle));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimSetAccessState, device.uniqueDeviceId().c_str(),
                                     kAMDeviceAccessReady));
    EXPECT_EQ(0, SIM_CALL(AMDeviceStartSession, handle));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimSetAccessState, device.uniqueDeviceId().c_str(),
                                     kAMDeviceAccessLocked));

    const std::vector<Event> events = recorder_.events();
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ(uint32_t{kAMDeviceNotReady}, events[0].message);
    EXPECT_EQ(uint32_t{kAMDeviceArrived}, events[1].message);
    EXPECT_EQ(uint32_t{kAMDeviceNotReady}, events[2].message);
    for (const Event& event : events) {
        EXPECT_EQ(handle, event.device);
    }
    EXPECT_EQ(kPlovikSimBadArgument,
              SIM_CALL(PlovikSimSetAccessState, device.uniqueDeviceId().c_str(), 7));
}

TEST_F(LifecycleTest, RemovedHandleFailsEverywhere) {
    TempDevice device("1111111111111111111111111111111111111111");
    const AMDeviceRef handle = attach(device);
    beginSession(handle);
    const AMDServiceConnectionRef service = startService(handle, "com.apple.afc");
    AFCConnectionRef afc = nullptr;
    ASSERT_EQ(0, SIM_CALL(AFCConnectionOpen, service, 0, &afc));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimDetach, device.uniqueDeviceId().c_str()));

    EXPECT_NE(0, SIM_CALL(AMDeviceConnect, handle));
    EXPECT_NE(0, SIM_CALL(AMDeviceStopSession, handle));
    EXPECT_EQ(nullptr,
              SIM_CALL(AMDeviceCopyValue, handle, nullptr, makeString("DeviceName").get()));
    EXPECT_EQ(nullptr, SIM_CALL(AMDeviceCopyDeviceIdentifier, handle));
    EXPECT_EQ(-1, SIM_CALL(AMDeviceGetAccessState, handle));
    EXPECT_EQ(std::nullopt, list(afc, "/"));
    EXPECT_NE(0, writeFile(afc, "/new.txt", "x"));
    EXPECT_EQ(0, SIM_CALL(AFCConnectionClose, afc));
    EXPECT_EQ(0, SIM_CALL(AMDServiceConnectionInvalidate, service));

    // The same folder attached again is a new device with a new handle.
    const AMDeviceRef again = attach(device);
    EXPECT_NE(nullptr, again);
    EXPECT_NE(handle, again);
    EXPECT_EQ(-1, SIM_CALL(AMDeviceGetAccessState, handle));
}

TEST_F(LifecycleTest, AttachRefusesBadFolders) {
    TempDevice device("1111111111111111111111111111111111111111");
    EXPECT_EQ(kPlovikSimBadArgument, SIM_CALL(PlovikSimAttach, nullptr));
    EXPECT_EQ(kPlovikSimBadDeviceFolder,
              SIM_CALL(PlovikSimAttach, (device.folder() / "missing").c_str()));
    EXPECT_EQ(kPlovikSimBadDeviceFolder, SIM_CALL(PlovikSimAttach, device.media().c_str()));

    device.writeFile("device.plist", "<?xml version=\"1.0\"?><plist><dict><key>DeviceName");
    EXPECT_EQ(kPlovikSimBadDeviceFolder, SIM_CALL(PlovikSimAttach, device.folder().c_str()));

    plist_t noIdentifier = plist_new_dict();
    plist_dict_set_item(noIdentifier, "DeviceName", plist_new_string("Nameless"));
    writePlist(device.folder() / "device.plist", noIdentifier);
    plist_free(noIdentifier);
    EXPECT_EQ(kPlovikSimBadDeviceFolder, SIM_CALL(PlovikSimAttach, device.folder().c_str()));

    TempDevice twin("2222222222222222222222222222222222222222");
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimAttach, twin.folder().c_str()));
    EXPECT_EQ(kPlovikSimAlreadyAttached, SIM_CALL(PlovikSimAttach, twin.folder().c_str()));
    EXPECT_EQ(kPlovikSimNoSuchDevice, SIM_CALL(PlovikSimDetach, "unknown"));
    EXPECT_EQ(1u, recorder_.events().size());
}

TEST_F(LifecycleTest, CallbackMayCallBackIntoTheLibrary) {
    struct Probe {
        std::string identifier;
        static void onEvent(const AMDeviceNotificationInfo* info, void* context) {
            if (info->message != kAMDeviceArrived) {
                return;
            }
            plist_t identifier = SIM_CALL(AMDeviceCopyDeviceIdentifier, info->device);
            char* text = nullptr;
            plist_get_string_val(identifier, &text);
            static_cast<Probe*>(context)->identifier = text;
            free(text);
            plist_free(identifier);
        }
    };
    auto& probe = keepUntilReset(std::make_shared<Probe>());
    AMDeviceNotificationRef notification = nullptr;
    ASSERT_EQ(
        0, SIM_CALL(AMDeviceNotificationSubscribe, &Probe::onEvent, 0, 0, &probe, &notification));
    TempDevice device("1111111111111111111111111111111111111111");
    attach(device);
    EXPECT_EQ(device.uniqueDeviceId(), probe.identifier);
}

}  // namespace
