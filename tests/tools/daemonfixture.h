// Tests of the emulator's daemon in process: one device folder in a temporary folder, served
// with the faults and link a test sets before starting the daemon.
#ifndef PLOVIK_TESTS_TOOLS_DAEMONFIXTURE_H
#define PLOVIK_TESTS_TOOLS_DAEMONFIXTURE_H

#include "faultplan.h"
#include "muxdaemon.h"
#include "traffictally.h"
#include "trustedhosts.h"
#include "usblink.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace devemutest {

// The device's UDID; its device.plist also holds ProductVersion, SerialNumber and a battery
// domain, and its Media folder DCIM/photo.jpg.
constexpr const char* kUdid = "0123456789abcdef0123456789abcdef01234567";

class DaemonTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void startDaemon(plovik::devemu::LinkProfile link = {});
    // Attaches a new plugging of the device, under the next device id, that remembers the
    // hosts the last one trusted.
    void plugIn(plovik::devemu::LinkProfile link = {});
    std::string socketPath() const { return folder_ / "mux"; }

    std::filesystem::path folder_;
    plovik::devemu::FaultPlan faults_;
    std::shared_ptr<plovik::devemu::TrafficTally> tally_ =
        std::make_shared<plovik::devemu::TrafficTally>();
    std::shared_ptr<plovik::devemu::TrustedHosts> trustedHosts_ =
        std::make_shared<plovik::devemu::TrustedHosts>();
    std::unique_ptr<plovik::devemu::MuxDaemon> daemon_;
    uint32_t nextDeviceId_ = 1;
};

}  // namespace devemutest

#endif
