#include "usbmuxharness.h"

#include "plistitems.h"

#include <cstdio>
#include <cstdlib>

using plovik::devemu::Plist;
using standin::DeviceState;

Harness::Harness() {
    std::string pattern = testing::TempDir() + "plovik-usbmux-XXXXXX";
    folder_ = mkdtemp(pattern.data()) != nullptr ? pattern : testing::TempDir();
    setenv("USBMUXD_SOCKET_ADDRESS", ("UNIX:" + folder_ + "/usbmuxd").c_str(), 1);
    library_ = dlopen(PLOVIK_USBMUX_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        ADD_FAILURE() << dlerror();
        std::abort();
    }
}

void Harness::onNotification(const AMDeviceNotificationInfo* info, void* context) {
    // The handle is valid during the callback, Removed included.
    const Plist identifier(MD(AMDeviceCopyDeviceIdentifier)(info->device));
    std::string udid;
    if (plist_get_node_type(identifier.get()) == PLIST_STRING) {
        udid = plist_get_string_ptr(identifier.get(), nullptr);
    } else {
        ADD_FAILURE() << "no identifier during the callback of message " << info->message;
    }
    static_cast<Recorder*>(context)->record(*info, udid);
}

int Harness::subscribe() {
    if (subscribed_) {
        return 0;
    }
    AMDeviceNotificationRef notification = nullptr;
    const int result =
        MD(AMDeviceNotificationSubscribe)(&onNotification, 0, 0, &recorder_, &notification);
    subscribed_ = result == 0 && notification != nullptr;
    return result;
}

standin::StandInMux& Harness::mux() {
    if (!mux_) {
        mux_ = std::make_unique<standin::StandInMux>(folder_ + "/usbmuxd");
        EXPECT_TRUE(mux_->start());
    }
    return *mux_;
}

DeviceState Harness::newDevice() {
    DeviceState device;
    device.id = ++lastDeviceId_;
    char udid[41];
    std::snprintf(udid, sizeof udid, "%040u", 0xA0000000u + device.id);
    device.udid = udid;
    return device;
}
