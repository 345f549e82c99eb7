// The demo device the build lays out is one the simulator serves completely.

#include "simtest.h"

namespace {

class DemoDeviceTest : public SimTest {};

TEST_F(DemoDeviceTest, AttachesAndServesEveryArea) {
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimAttach, PLOVIK_DEMO_DEVICE));
    const auto events = recorder_.events();
    ASSERT_EQ(1u, events.size());
    const AMDeviceRef device = events[0].device;

    beginSession(device);
    PlistNode name(SIM_CALL(AMDeviceCopyValue, device, nullptr, makeString("DeviceName").get()),
                   &plist_free);
    ASSERT_NE(nullptr, name);
    EXPECT_EQ(0, plist_string_val_compare(name.get(), "Demo iPhone"));
    endSession(device);

    AFCConnectionRef media = openAfc(device);
    const auto camera = list(media, "/DCIM/100APPLE");
    ASSERT_TRUE(camera);
    EXPECT_EQ(10u, camera->size());
    EXPECT_EQ(std::to_string(64 * 1024 * 1024),
              info(media, "/DCIM/100APPLE/IMG_0006.MOV").at("st_size"));
    EXPECT_EQ(0, SIM_CALL(AFCConnectionClose, media));

    AFCConnectionRef root = openAfc(device, "com.apple.afc2");
    EXPECT_EQ("/private/etc", info(root, "/etc").at("LinkTarget"));
    EXPECT_TRUE(readFile(root, "/etc/hosts"));
    EXPECT_EQ(0, SIM_CALL(AFCConnectionClose, root));

    beginSession(device);
    const AMDServiceConnectionRef proxy =
        startService(device, "com.apple.mobile.installation_proxy");
    endSession(device);
    ServiceClient client(proxy);
    PlistNode browse(plist_new_dict(), &plist_free);
    plist_dict_set_item(browse.get(), "Command", plist_new_string("Browse"));
    ASSERT_TRUE(client.send(browse.get()));
    PlistNode page = client.receive();
    ASSERT_NE(nullptr, page);
    uint64_t total = 0;
    plist_get_uint_val(plist_dict_get_item(page.get(), "Total"), &total);
    EXPECT_EQ(2u, total);
    EXPECT_EQ(0, SIM_CALL(AMDServiceConnectionInvalidate, proxy));
}

}  // namespace
