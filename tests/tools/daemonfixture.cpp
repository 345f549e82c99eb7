#include "daemonfixture.h"

#include "emulateddevice.h"

#include "devicefolder.h"

#include <fstream>

namespace devemutest {

namespace fs = std::filesystem;
using namespace plovik::devemu;

void DaemonTest::SetUp() {
    char pattern[] = "/tmp/devemu-test-XXXXXX";
    folder_ = mkdtemp(pattern);
    fs::create_directories(folder_ / "device/Media/DCIM");
    std::ofstream(folder_ / "device/device.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
           "<key>UniqueDeviceID</key><string>"
        << kUdid
        << "</string><key>ProductVersion</key><string>17.1</string>"
           "<key>SerialNumber</key><string>F2LTEST</string>"
           "<key>com.apple.mobile.battery</key><dict><key>BatteryCurrentCapacity</key>"
           "<integer>76</integer></dict></dict></plist>";
    std::ofstream(folder_ / "device/Media/DCIM/photo.jpg") << std::string(1000, 'x');
    std::ofstream(folder_ / "outside.txt") << "secret";
}

void DaemonTest::TearDown() {
    daemon_.reset();
    fs::remove_all(folder_);
}

void DaemonTest::startDaemon(LinkProfile link) {
    daemon_ = std::make_unique<MuxDaemon>(socketPath());
    plugIn(link);
    ASSERT_TRUE(daemon_->start());
}

void DaemonTest::plugIn(LinkProfile link) {
    std::unique_ptr<plovik::sim::DeviceFolder> deviceFolder;
    ASSERT_EQ(plovik::sim::DeviceFolder::open((folder_ / "device").c_str(), deviceFolder), 0);
    daemon_->attach(std::make_shared<EmulatedDevice>(
        nextDeviceId_++, std::make_shared<plovik::sim::SimDevice>(std::move(deviceFolder)),
        trustedHosts_, faults_, link, tally_));
}

}  // namespace devemutest
