// libplovik-usbmux against the device emulator's daemon in process, which pairs and runs its
// lockdown sessions inside TLS as a current iPhone does: pairing from scratch, the snapshot in
// one session, fresh sessions after a disconnect, and the user's answers to the Trust dialog.
// The library is loaded with dlopen, as the program loads it. Its subscription lasts for the
// process, so every test serves a device of its own (its own UDID) from a daemon of its own at
// one socket path; libusbmuxd reconnects to each new daemon.
#include "emulateddevice.h"
#include "faultplan.h"
#include "mobiledevice.h"
#include "muxdaemon.h"
#include "traffictally.h"
#include "trustedhosts.h"

#include "devicefolder.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/resource.h>
#include <usbmuxd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using namespace plovik::devemu;
using plovik::devemu::Plist;

namespace {

// How long the library keeps a session no connection uses.
constexpr auto kSessionLinger = 5s;

constexpr auto kEventWait = 20s;

void* library() {
    static void* const handle = [] {
        static const std::string folder = [] {
            std::string pattern = testing::TempDir() + "plovik-usbmux-tls-XXXXXX";
            return std::string(mkdtemp(pattern.data()));
        }();
        setenv("USBMUXD_SOCKET_ADDRESS", ("UNIX:" + folder + "/mux").c_str(), 1);
        void* loaded = dlopen(PLOVIK_USBMUX_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (loaded == nullptr) {
            ADD_FAILURE() << dlerror();
            std::abort();
        }
        return loaded;
    }();
    return handle;
}

std::string socketPath() {
    const char* address = std::getenv("USBMUXD_SOCKET_ADDRESS");
    return std::string(address).substr(5);
}

template <typename Function>
Function entry(const char* name) {
    return reinterpret_cast<Function>(dlsym(library(), name));
}
#define MD(name) (entry<decltype(&name)>(#name))

std::string text(plist_t value) {
    return plist_get_node_type(value) == PLIST_STRING ? plist_get_string_ptr(value, nullptr) : "";
}

// What the core does when a device arrives, on the notification thread: a connection, a session
// per value, and the values kept.
std::map<std::string, std::string> readSnapshot(AMDeviceRef device) {
    std::map<std::string, std::string> values;
    if (MD(AMDeviceConnect)(device) != 0) {
        return values;
    }
    for (const char* key : {"DeviceName", "UniqueDeviceID", "ProductVersion", "SerialNumber",
                            "ProductType", "BuildVersion", "NoSuchKey"}) {
        if (MD(AMDeviceStartSession)(device) != 0) {
            break;
        }
        const Plist name(plist_new_string(key));
        const Plist value(MD(AMDeviceCopyValue)(device, nullptr, name.get()));
        if (value) {
            values[key] = text(value.get());
        }
        MD(AMDeviceStopSession)(device);
    }
    MD(AMDeviceDisconnect)(device);
    return values;
}

// A value asked for outside any session, as the core asks a device that is not ready.
std::optional<std::string> valueWithoutSession(AMDeviceRef device, const char* key) {
    const Plist name(plist_new_string(key));
    const Plist value(MD(AMDeviceCopyValue)(device, nullptr, name.get()));
    return value ? std::optional(text(value.get())) : std::nullopt;
}

// The events of one device, the snapshot read at its arrival, and its access state at each
// NotReady.
class Recorder {
public:
    static Recorder& instance() {
        static Recorder* const recorder = [] {
            auto* created = new Recorder;
            AMDeviceNotificationRef notification = nullptr;
            EXPECT_EQ(0, MD(AMDeviceNotificationSubscribe)(&onNotification, 0, 0, created,
                                                           &notification));
            return created;
        }();
        return *recorder;
    }

    struct Seen {
        AMDeviceRef handle = nullptr;
        int arrivals = 0;
        std::vector<int> states;  // at each NotReady
        // What the device told without a session at each NotReady.
        std::vector<std::optional<std::string>> names;
        std::vector<std::optional<std::string>> serialNumbers;
        std::map<std::string, std::string> snapshot;
    };

    Seen waitFor(const std::string& udid, const std::function<bool(const Seen&)>& done) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kEventWait, [&] { return done(seen_[udid]); });
        return seen_[udid];
    }

private:
    static void onNotification(const AMDeviceNotificationInfo* info, void* context) {
        auto* recorder = static_cast<Recorder*>(context);
        const Plist identifier(MD(AMDeviceCopyDeviceIdentifier)(info->device));
        const std::string udid = text(identifier.get());
        std::map<std::string, std::string> snapshot;
        if (info->message == kAMDeviceArrived) {
            snapshot = readSnapshot(info->device);
        }
        const int state = MD(AMDeviceGetAccessState)(info->device);
        {
            const std::lock_guard lock(recorder->mutex_);
            Seen& seen = recorder->seen_[udid];
            seen.handle = info->device;
            if (info->message == kAMDeviceArrived) {
                ++seen.arrivals;
                seen.snapshot = std::move(snapshot);
            } else if (info->message == kAMDeviceNotReady) {
                seen.states.push_back(state);
                seen.names.push_back(valueWithoutSession(info->device, "DeviceName"));
                seen.serialNumbers.push_back(valueWithoutSession(info->device, "SerialNumber"));
            }
        }
        recorder->changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, Seen> seen_;
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

uint64_t reportValue(const TrafficTally& tally, const std::string& key) {
    std::istringstream report(tally.report());
    std::string line;
    while (std::getline(report, line)) {
        if (line.rfind(key + " ", 0) == 0) {
            return std::stoull(line.substr(key.size() + 1));
        }
    }
    return 0;
}

class UsbmuxTlsTest : public testing::Test {
protected:
    void SetUp() override {
        library();
        static int testNumber = 0;
        char udid[41];
        std::snprintf(udid, sizeof udid, "%040d", 7700 + ++testNumber);
        udid_ = udid;
        folder_ = fs::path(socketPath()).parent_path() / udid_;
        fs::create_directories(folder_ / "Media/DCIM");
        std::ofstream(folder_ / "device.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
               "<key>UniqueDeviceID</key><string>"
            << udid_
            << "</string><key>DeviceName</key><string>TLS Phone</string>"
               "<key>ProductType</key><string>iPhone14,2</string>"
               "<key>ProductVersion</key><string>17.1</string>"
               "<key>SerialNumber</key><string>F2LTLS</string></dict></plist>";
    }

    void TearDown() override {
        daemon_.reset();
        fs::remove_all(folder_);
    }

    void start() {
        daemon_ = std::make_unique<MuxDaemon>(socketPath());
        plugIn();
        ASSERT_TRUE(daemon_->start());
        Recorder::instance();
    }

    void plugIn() {
        std::unique_ptr<plovik::sim::DeviceFolder> deviceFolder;
        ASSERT_EQ(plovik::sim::DeviceFolder::open(folder_.c_str(), deviceFolder), 0);
        auto device = std::make_shared<EmulatedDevice>(
            nextId_++, std::make_shared<plovik::sim::SimDevice>(std::move(deviceFolder)),
            trustedHosts_, faults_, LinkProfile{}, tally_);
        devices_.push_back(device);
        daemon_->attach(device);
    }

    void unplug() {
        for (const auto& device : devices_) {
            device->detach();
        }
        devices_.clear();
    }

    Recorder::Seen waitFor(const std::function<bool(const Recorder::Seen&)>& done) {
        return Recorder::instance().waitFor(udid_, done);
    }

    static bool arrived(const Recorder::Seen& seen) { return seen.arrivals > 0; }
    static std::function<bool(const Recorder::Seen&)> inState(int state) {
        return [state](const Recorder::Seen& seen) {
            return !seen.states.empty() && seen.states.back() == state;
        };
    }

    uint64_t handshakes() const { return reportValue(*tally_, "tls-handshakes"); }

    std::string udid_;
    fs::path folder_;
    FaultPlan faults_;
    std::shared_ptr<TrafficTally> tally_ = std::make_shared<TrafficTally>();
    std::shared_ptr<TrustedHosts> trustedHosts_ = std::make_shared<TrustedHosts>();
    std::unique_ptr<MuxDaemon> daemon_;
    std::vector<std::shared_ptr<EmulatedDevice>> devices_;
    uint32_t nextId_ = 1;
};

}  // namespace

TEST_F(UsbmuxTlsTest, PairsFromScratchAndReadsTheSnapshotInTheProbesSession) {
    start();
    const Recorder::Seen seen = waitFor(arrived);
    ASSERT_EQ(1, seen.arrivals);
    // Announced at once as connecting, before the pairing.
    ASSERT_FALSE(seen.states.empty());
    EXPECT_EQ(kAMDeviceAccessConnecting, seen.states.front());
    EXPECT_EQ("TLS Phone", seen.snapshot.at("DeviceName"));
    EXPECT_EQ("F2LTLS", seen.snapshot.at("SerialNumber"));  // given inside a session only
    EXPECT_EQ(0u, seen.snapshot.count("NoSuchKey"));
    EXPECT_EQ(1u, handshakes());
    EXPECT_EQ(1u, reportValue(*tally_, "tls-version TLSv1.3"));

    // usbmuxd keeps the whole record, so other tools can open sessions with it.
    char* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(0, usbmuxd_read_pair_record(udid_.c_str(), &data, &size));
    plist_t parsed = nullptr;
    plist_from_memory(data, size, &parsed);
    std::free(data);
    const Plist record(parsed);
    for (const char* key : {"HostID", "SystemBUID", "RootCertificate", "RootPrivateKey",
                            "HostCertificate", "HostPrivateKey", "DeviceCertificate"}) {
        EXPECT_NE(nullptr, plist_dict_get_item(record.get(), key)) << key;
    }
}

TEST_F(UsbmuxTlsTest, NestedSessionsShareOneWhichABurstKeepsAndALaterConnectRenews) {
    start();
    const AMDeviceRef device = waitFor(arrived).handle;
    ASSERT_NE(nullptr, device);
    const Plist name(plist_new_string("DeviceName"));
    const auto frame = [&] {
        ASSERT_EQ(0, MD(AMDeviceConnect)(device));
        for (int use = 0; use < 3; ++use) {
            ASSERT_EQ(0, MD(AMDeviceStartSession)(device));
            const Plist value(MD(AMDeviceCopyValue)(device, nullptr, name.get()));
            EXPECT_EQ("TLS Phone", text(value.get()));
            ASSERT_EQ(0, MD(AMDeviceStopSession)(device));
        }
        ASSERT_EQ(0, MD(AMDeviceDisconnect)(device));
    };
    // The probe's session, kept past the arrival, serves the frames that follow at once.
    const uint64_t before = handshakes();
    frame();
    frame();
    EXPECT_EQ(before, handshakes());
    // Once it has lain unused for a while, the next frame opens a fresh one.
    std::this_thread::sleep_for(kSessionLinger + 500ms);
    frame();
    frame();
    EXPECT_EQ(before + 1, handshakes());
}

TEST_F(UsbmuxTlsTest, WhileTrustIsPendingTheDeviceWaitsWithoutBurningCpu) {
    faults_.add("trust-pending");
    start();
    const Recorder::Seen untrusted = waitFor(inState(kAMDeviceAccessUntrusted));
    ASSERT_TRUE(inState(kAMDeviceAccessUntrusted)(untrusted));
    const uint64_t connections = reportValue(*tally_, "lockdown-connections");
    const double cpuBefore = cpuSeconds();
    // Two more Pair requests (every 3 s) with the record made for the first.
    std::this_thread::sleep_for(6500ms);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.1);
    EXPECT_EQ(0, waitFor([](const Recorder::Seen&) { return true; }).arrivals);
    // The public values were read once, not at every retry: one connection per Pair request.
    EXPECT_EQ(connections + 2, reportValue(*tally_, "lockdown-connections"));
    EXPECT_EQ("TLS Phone", untrusted.names.back());
    EXPECT_EQ(std::nullopt, untrusted.serialNumbers.back());

    daemon_->allowAccessToAll();
    const Recorder::Seen seen = waitFor(arrived);
    EXPECT_EQ(1, seen.arrivals);
    EXPECT_EQ(kAMDeviceAccessReady, MD(AMDeviceGetAccessState)(seen.handle));
}

TEST_F(UsbmuxTlsTest, DontTrustIsNotAskedAgainUntilTheDeviceIsPluggedInAgain) {
    faults_.add("deny-trust");
    start();
    waitFor(inState(kAMDeviceAccessDenied));
    daemon_->allowAccessToAll();
    std::this_thread::sleep_for(4s);
    Recorder::Seen seen = waitFor([](const Recorder::Seen&) { return true; });
    EXPECT_EQ(0, seen.arrivals);
    EXPECT_EQ(kAMDeviceAccessDenied, seen.states.back());
    EXPECT_EQ("TLS Phone", seen.names.back());

    unplug();
    plugIn();
    devices_.back()->allowAccess();
    seen = waitFor(arrived);
    EXPECT_EQ(1, seen.arrivals);
}

TEST_F(UsbmuxTlsTest, ALockedDeviceIsToldApartAndCompletesOnceUnlocked) {
    faults_.add("locked");
    start();
    const Recorder::Seen locked = waitFor(inState(kAMDeviceAccessLocked));
    ASSERT_FALSE(locked.states.empty());
    EXPECT_EQ(kAMDeviceAccessLocked, locked.states.back());
    // Its name without a session, as ideviceinfo --simple reads it; not yet while connecting.
    EXPECT_EQ(std::nullopt, locked.names.front());
    EXPECT_EQ("TLS Phone", locked.names.back());
    EXPECT_EQ(std::nullopt, locked.serialNumbers.back());
    const Plist battery(plist_new_string("com.apple.mobile.battery"));
    EXPECT_EQ(nullptr, MD(AMDeviceCopyValue)(locked.handle, battery.get(), nullptr));

    daemon_->allowAccessToAll();
    const Recorder::Seen ready = waitFor(arrived);
    EXPECT_EQ(1, ready.arrivals);
    EXPECT_EQ("F2LTLS", ready.snapshot.at("SerialNumber"));
    // Complete, it gives values inside sessions only.
    EXPECT_EQ(std::nullopt, valueWithoutSession(ready.handle, "DeviceName"));
}

TEST_F(UsbmuxTlsTest, ADeviceThatSpeaksOnlyTls13IsReached) {
    faults_.add("tls13-only");
    start();
    EXPECT_EQ(1, waitFor(arrived).arrivals);
    EXPECT_EQ(1u, reportValue(*tally_, "tls-version TLSv1.3"));
}

TEST_F(UsbmuxTlsTest, CountsTheDevicesTheDaemonHasAttached) {
    const auto count = entry<int (*)()>("PlovikUsbmuxCountAttachedDevices");
    ASSERT_NE(nullptr, count);
    start();
    EXPECT_EQ(1, count());
    unplug();
    EXPECT_EQ(0, count());
    // No daemon to ask.
    daemon_.reset();
    EXPECT_LT(count(), 0);
}
