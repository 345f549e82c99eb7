// A device's arrival over TLS: the time from its appearance on the mux to its complete snapshot
// (the values the device panel and the details dialog show), as the program meets a real iPhone.
//
// plovik-devemu serves the demo device's values on an emulated USB 2 link and, as every real
// device, wants a pairing and a TLS lockdown session. The first arrival pairs from scratch (the
// host's keys are made then); the device is then unplugged and plugged in again, and each later
// arrival reuses the pairing. Reported against the goal of half a second, with the TLS
// handshakes the emulator counted per arrival and the versions they negotiated.

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/amdevice.h"
#include "device/devicemonitor.h"
#include "device/mobiledeviceaccesslistener.h"
#include "device/mobiledevicelibrary.h"
#include "emulatorprocess.h"
#include "support/temporaryfolder.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kGoalSeconds = 0.5;
constexpr auto kEventWait = std::chrono::seconds(30);

struct Options {
    int replugs = 10;
    std::string link = "usb2";
};

Options parse(int argc, char** argv) {
    Options options;
    for (int index = 1; index < argc; ++index) {
        const std::string option = argv[index];
        if (option == "--replugs" && index + 1 < argc) {
            options.replugs = std::max(1, std::atoi(argv[++index]));
        } else if (option == "--link" && index + 1 < argc) {
            options.link = argv[++index];
        } else {
            std::printf("usage: plovik_arrival_bench [--replugs N] [--link usb2|usb3|...]\n");
            std::exit(option == "--help" ? 0 : 2);
        }
    }
    return options;
}

// When the ready device arrived (its snapshot is read before the monitor reports it) and when it
// left.
class ArrivalClock : public MobileDeviceAccessListener {
public:
    void onDeviceConnected(const std::shared_ptr<AMDevice>& device) override {
        if (device->accessState() != kAMDeviceAccessReady)
            return;
        const std::lock_guard lock(mutex_);
        ++arrivals_;
        lastArrival_ = Clock::now();
        keys_ = device->information().count();
        changed_.notify_all();
    }
    void onDeviceDisconnected(const std::shared_ptr<AMDevice>& device) override {
        if (device->accessState() != kAMDeviceAccessReady)
            return;
        const std::lock_guard lock(mutex_);
        ++removals_;
        changed_.notify_all();
    }

    // The time of the count-th arrival; nothing when it did not come.
    std::optional<Clock::time_point> waitForArrival(int count) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, kEventWait, [&] { return arrivals_ >= count; }))
            return std::nullopt;
        return lastArrival_;
    }
    bool waitForRemoval(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kEventWait, [&] { return removals_ >= count; });
    }
    int snapshotKeys() {
        const std::lock_guard lock(mutex_);
        return keys_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int arrivals_ = 0;
    int removals_ = 0;
    Clock::time_point lastArrival_;
    int keys_ = 0;
};

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    TemporaryFolder work;
    const fs::path device = work.path() / "device";
    fs::create_directories(device / "Media");
    fs::create_directories(device / "Apps");
    fs::copy_file(fs::path(PLOVIK_DEMO_DEVICE_DIR) / "device.plist", device / "device.plist");
    EmulatorProcess emulator(PLOVIK_DEVEMU, work.path(), device, options.link);
    setenv("USBMUXD_SOCKET_ADDRESS", emulator.socketAddress().c_str(), 1);

    ArrivalClock arrivals;
    MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_USBMUX_LIBRARY);
    DeviceMonitor::instance().setListener(&arrivals);
    const Clock::time_point subscribed = Clock::now();
    DeviceMonitor::instance().startListening();
    const std::optional<Clock::time_point> paired = arrivals.waitForArrival(1);
    if (!paired) {
        std::fprintf(stderr, "the emulated device never became ready\n");
        return 1;
    }
    const double firstSeconds = secondsBetween(subscribed, *paired);

    std::vector<double> later;
    for (int replug = 1; replug <= options.replugs; ++replug) {
        emulator.signal(SIGUSR1);
        if (!arrivals.waitForRemoval(replug)) {
            std::fprintf(stderr, "the emulated device was not removed\n");
            return 1;
        }
        const Clock::time_point pluggedIn = Clock::now();
        emulator.signal(SIGUSR2);
        const std::optional<Clock::time_point> arrived = arrivals.waitForArrival(replug + 1);
        if (!arrived) {
            std::fprintf(stderr, "the emulated device did not come back\n");
            return 1;
        }
        later.push_back(secondsBetween(pluggedIn, *arrived));
    }
    const EmulatorStats stats = emulator.stop();

    std::sort(later.begin(), later.end());
    const double median = later[later.size() / 2];
    const int arrivalsSeen = options.replugs + 1;
    std::printf("link %s, snapshot of %d keys\n", options.link.c_str(), arrivals.snapshotKeys());
    std::printf("first arrival, pairing from scratch: %.3f s (%.2f x the %.1f s goal)\n",
                firstSeconds, firstSeconds / kGoalSeconds, kGoalSeconds);
    std::printf(
        "arrival of a paired device: median %.3f s, fastest %.3f s, slowest %.3f s over %d "
        "(%.2f x the goal)\n",
        median, later.front(), later.back(), options.replugs, median / kGoalSeconds);
    std::printf("lockdown connections per arrival: %.2f, TLS handshakes per arrival: %.2f\n",
                static_cast<double>(stats.lockdownConnections) / arrivalsSeen,
                static_cast<double>(stats.tlsHandshakes) / arrivalsSeen);
    for (const auto& [version, count] : stats.tlsVersions)
        std::printf("TLS version %s: %llu sessions\n", version.c_str(),
                    static_cast<unsigned long long>(count));
    return 0;
}
