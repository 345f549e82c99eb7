#include "device/devicemonitor.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "device/amdevice.h"
#include "device/fakemobiledevice.h"
#include "device/mobiledeviceaccesslistener.h"

namespace {

// Records events as "+name" / "-name" and owns the devices it is given.
class RecordingListener : public MobileDeviceAccessListener {
public:
    void onDeviceConnected(const std::shared_ptr<AMDevice>& device) override {
        events.push_back("+" + label(*device));
        owned.push_back(device);
    }
    void onDeviceDisconnected(const std::shared_ptr<AMDevice>& device) override {
        events.push_back("-" + label(*device));
        EXPECT_EQ(device->deviceHandle(), nullptr);
    }
    static std::string label(AMDevice& device) {
        return device.accessState() == kAMDeviceAccessReady
                   ? device.name().toUtf8()
                   : "waiting:" + device.uniqueDeviceID().toUtf8();
    }

    std::vector<std::string> events;
    std::vector<std::shared_ptr<AMDevice>> owned;
};

// Every test subscribes through the fake and detaches its devices when it ends, since the
// monitor lives for the whole process.
class DeviceMonitorTest : public testing::Test {
protected:
    DeviceMonitorTest() {
        monitor.setListener(&listener);
        monitor.setDispatcher(nullptr);
        monitor.startListening();
    }
    ~DeviceMonitorTest() override {
        for (const auto& device : monitor.devices()) {
            FakeMobileDevice::notify(device->deviceHandle(), kAMDeviceRemoved);
        }
        monitor.setListener(nullptr);
        monitor.setDispatcher(nullptr);
    }
    AMDeviceRef plug(const std::string& name, const std::string& udid) {
        AMDeviceRef handle = fake.addDevice({{"DeviceName", name}, {"UniqueDeviceID", udid}});
        FakeMobileDevice::notify(handle, kAMDeviceArrived);
        return handle;
    }

    FakeMobileDevice fake;
    DeviceMonitor& monitor = DeviceMonitor::instance();
    RecordingListener listener;
};

TEST_F(DeviceMonitorTest, ReportsArrivalsInOrderAndDropsDuplicates) {
    AMDeviceRef first = plug("One", "udid-1");
    plug("Two", "udid-2");
    plug("One again", "udid-1");                        // same device, new handle
    FakeMobileDevice::notify(first, kAMDeviceArrived);  // same handle twice
    EXPECT_EQ(listener.events, (std::vector<std::string>{"+One", "+Two"}));
    ASSERT_EQ(monitor.devices().size(), 2u);
    EXPECT_EQ(monitor.devices()[0]->name().view(), u"One");
}

TEST_F(DeviceMonitorTest, UnplugAndReplugGiveANewObject) {
    AMDeviceRef first = plug("Phone", "udid-1");
    const std::shared_ptr<AMDevice> before = monitor.devices().at(0);
    FakeMobileDevice::notify(first, kAMDeviceRemoved);
    EXPECT_TRUE(monitor.devices().empty());
    FakeMobileDevice::notify(first, kAMDeviceRemoved);  // not listed any more: no event
    plug("Phone", "udid-1");
    EXPECT_EQ(listener.events, (std::vector<std::string>{"+Phone", "-Phone", "+Phone"}));
    EXPECT_NE(monitor.devices().at(0), before);
    EXPECT_EQ(before->deviceHandle(), nullptr);
}

TEST_F(DeviceMonitorTest, UnknownHandlesAndMessagesAreIgnored) {
    FakeMobileDevice::notify(reinterpret_cast<AMDeviceRef>(0xdead), kAMDeviceRemoved);
    FakeMobileDevice::notify(reinterpret_cast<AMDeviceRef>(0xdead), 77);
    fake.setResult("AMDeviceConnect", 1);
    plug("Unreachable", "udid-x");
    EXPECT_TRUE(listener.events.empty());
}

TEST_F(DeviceMonitorTest, ALockedDeviceWaitsThenArrivesComplete) {
    AMDeviceRef handle = fake.addDevice({{"DeviceName", "Locked"}, {"UniqueDeviceID", "u-9"}});
    fake.device(handle).accessState = kAMDeviceAccessLocked;
    FakeMobileDevice::notify(handle, kAMDeviceNotReady);
    FakeMobileDevice::notify(handle, kAMDeviceNotReady);
    ASSERT_EQ(monitor.devices().size(), 1u);
    EXPECT_EQ(monitor.devices()[0]->accessState(), kAMDeviceAccessLocked);

    // Unlocked, it waits for Trust: the placeholder is replaced so the listener shows why.
    fake.device(handle).accessState = kAMDeviceAccessUntrusted;
    FakeMobileDevice::notify(handle, kAMDeviceNotReady);
    ASSERT_EQ(monitor.devices().size(), 1u);
    EXPECT_EQ(monitor.devices()[0]->accessState(), kAMDeviceAccessUntrusted);

    fake.device(handle).accessState = kAMDeviceAccessReady;
    FakeMobileDevice::notify(handle, kAMDeviceArrived);
    // A late NotReady for a device that is complete changes nothing.
    FakeMobileDevice::notify(handle, kAMDeviceNotReady);
    EXPECT_EQ(listener.events,
              (std::vector<std::string>{"+waiting:u-9", "-waiting:u-9", "+waiting:u-9",
                                        "-waiting:u-9", "+Locked"}));
    ASSERT_EQ(monitor.devices().size(), 1u);
    EXPECT_EQ(monitor.devices()[0]->deviceHandle(), handle);
}

TEST_F(DeviceMonitorTest, AListenerThatLetsGoLeavesTheMonitorSound) {
    AMDeviceRef first = plug("First", "udid-first");
    listener.owned.clear();
    monitor.setListener(nullptr);
    plug("Second", "udid-second");  // compares against the first device, still held here
    FakeMobileDevice::notify(first, kAMDeviceRemoved);
    ASSERT_EQ(monitor.devices().size(), 1u);
    EXPECT_EQ(monitor.devices()[0]->name().view(), u"Second");
}

TEST_F(DeviceMonitorTest, EventsGoThroughTheDispatcherInOrder) {
    std::deque<std::function<void()>> queued;
    monitor.setDispatcher(
        [&queued](std::function<void()> call) { queued.push_back(std::move(call)); });
    AMDeviceRef handle = plug("Queued", "udid-q");
    FakeMobileDevice::notify(handle, kAMDeviceRemoved);
    EXPECT_TRUE(listener.events.empty());
    while (!queued.empty()) {
        queued.front()();
        queued.pop_front();
    }
    EXPECT_EQ(listener.events, (std::vector<std::string>{"+Queued", "-Queued"}));
}

TEST(DeviceMonitorListening, SubscribesOnceAndThrowsTheFailure) {
    FakeMobileDevice fake;
    DeviceMonitor& monitor = DeviceMonitor::instance();
    if (!monitor.isListening()) {
        fake.setResult("AMDeviceNotificationSubscribe", 5);
        try {
            monitor.startListening();
            FAIL() << "no exception";
        } catch (const CZelboString& text) {
            EXPECT_EQ(text.view(), u"AMDeviceNotificationSubscribe faield with error 5");
        }
        EXPECT_FALSE(monitor.isListening());
        fake.setResult("AMDeviceNotificationSubscribe", 0);
        monitor.startListening();
    }
    const int subscriptions = fake.calls("AMDeviceNotificationSubscribe");
    monitor.startListening();
    EXPECT_TRUE(monitor.isListening());
    EXPECT_EQ(fake.calls("AMDeviceNotificationSubscribe"), subscriptions);
}

}  // namespace
