// libplovik-usbmux.so as the program uses it: loaded with dlopen, every entry point looked up by
// name, against the usbmuxd stand-in. The stand-in listens on a socket in a temporary folder that
// USBMUXD_SOCKET_ADDRESS names before the library is loaded. Subscriptions cannot be ended, so
// one process-wide subscription records the events of all tests; each test uses devices of its
// own.
#include "mobiledevice.h"
#include "plistitems.h"
#include "standinmux.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <algorithm>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using plovik::devemu::Plist;
using standin::DeviceState;

namespace {

constexpr auto kEventWait = 15s;  // libusbmuxd polls each second, the library re-probes every 3 s
// Pairing makes two RSA keys first, which under valgrind takes a minute or more.
constexpr auto kPairingWait = 300s;

class Recorder {
public:
    struct Event {
        AMDeviceRef device;
        uint32_t message;
        std::string udid;
    };

    void record(const AMDeviceNotificationInfo& info, std::string udid) {
        if (inCallback_.exchange(true)) {
            ADD_FAILURE() << "two notification callbacks ran at once";
        }
        {
            const std::lock_guard lock(mutex_);
            events_.push_back({info.device, info.message, std::move(udid)});
        }
        changed_.notify_all();
        inCallback_ = false;
    }

    // The device of the occurrence-th event with that message for udid, once it happened.
    std::optional<AMDeviceRef> waitFor(const std::string& udid, uint32_t message,
                                       int occurrence = 1,
                                       std::chrono::seconds timeout = kEventWait) {
        std::unique_lock lock(mutex_);
        std::optional<AMDeviceRef> found;
        changed_.wait_for(lock, timeout, [&] {
            int seen = 0;
            for (const Event& event : events_) {
                if (event.udid == udid && event.message == message && ++seen == occurrence) {
                    found = event.device;
                }
            }
            return found.has_value();
        });
        return found;
    }

    std::vector<uint32_t> messagesFor(const std::string& udid) {
        const std::lock_guard lock(mutex_);
        std::vector<uint32_t> messages;
        for (const Event& event : events_) {
            if (event.udid == udid) {
                messages.push_back(event.message);
            }
        }
        return messages;
    }

    size_t count() {
        const std::lock_guard lock(mutex_);
        return events_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
    std::atomic<bool> inCallback_{false};
};

class Harness {
public:
    static Harness& instance() {
        static Harness* const harness = new Harness;
        return *harness;
    }

    template <typename Function>
    Function entry(const char* name) {
        void* symbol = dlsym(library_, name);
        if (symbol == nullptr) {
            ADD_FAILURE() << "missing entry point " << name;
        }
        return reinterpret_cast<Function>(symbol);
    }

    int subscribe();
    bool daemonRunning() const { return mux_ != nullptr; }
    standin::StandInMux& mux();
    Recorder& recorder() { return recorder_; }
    DeviceState newDevice();

private:
    Harness();
    static void onNotification(const AMDeviceNotificationInfo* info, void* context);

    std::string folder_;
    void* library_ = nullptr;
    Recorder recorder_;
    bool subscribed_ = false;
    std::unique_ptr<standin::StandInMux> mux_;
    uint32_t lastDeviceId_ = 0;
};

#define MD(name) (Harness::instance().entry<decltype(&name)>(#name))

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

std::string stringValue(plist_t node) {
    const Plist owned(node);
    return plist_get_node_type(node) == PLIST_STRING ? plist_get_string_ptr(node, nullptr) : "";
}

class UsbmuxLibraryTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, harness_.subscribe());
        harness_.mux();
    }

    // Attaches a device and waits until the library announced it: Arrived, or NotReady for a
    // reason other than connecting (the first NotReady, sent at once).
    AMDeviceRef arrive(const DeviceState& device, uint32_t message = kAMDeviceArrived) {
        harness_.mux().attach(device);
        const bool notReady = message == kAMDeviceNotReady;
        const std::optional<AMDeviceRef> handle = recorder().waitFor(
            device.udid, message, notReady ? 2 : 1, notReady ? kPairingWait : kEventWait);
        EXPECT_TRUE(handle.has_value()) << "no message " << message << " for " << device.udid;
        return handle.value_or(nullptr);
    }

    AMDServiceConnectionRef startService(AMDeviceRef device, const char* name) {
        const Plist service(plist_new_string(name));
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

TEST(UsbmuxLibraryWithoutDaemon, SubscribingSucceedsAndDevicesAppearOnceTheDaemonStarts) {
    Harness& harness = Harness::instance();
    if (harness.daemonRunning()) {
        GTEST_SKIP() << "an earlier test of this process started the daemon";
    }
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(0, harness.subscribe());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(0u, harness.recorder().count());

    const DeviceState device = harness.newDevice();
    harness.mux().attach(device);
    const std::optional<AMDeviceRef> handle =
        harness.recorder().waitFor(device.udid, kAMDeviceArrived);
    ASSERT_TRUE(handle.has_value());
    EXPECT_EQ(kAMDeviceAccessReady, MD(AMDeviceGetAccessState)(*handle));
    EXPECT_EQ(device.udid, stringValue(MD(AMDeviceCopyDeviceIdentifier)(*handle)));
}

TEST_F(UsbmuxLibraryTest, RemovedDeviceAnnouncesRemovalAndItsHandleFailsAfterwards) {
    const DeviceState device = harness_.newDevice();
    AMDeviceRef handle = arrive(device);
    ASSERT_NE(nullptr, handle);

    harness_.mux().detach(device.id);
    const std::optional<AMDeviceRef> removed = recorder().waitFor(device.udid, kAMDeviceRemoved);
    ASSERT_TRUE(removed.has_value());
    EXPECT_EQ(handle, *removed);
    EXPECT_EQ((std::vector<uint32_t>{kAMDeviceNotReady, kAMDeviceArrived, kAMDeviceRemoved}),
              recorder().messagesFor(device.udid));
    // The event was recorded inside the callback; the handle ends once the callback returned.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (MD(AMDeviceGetAccessState)(handle) != -1 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }

    const Plist key(plist_new_string("DeviceName"));
    const Plist service(plist_new_string("com.apple.afc"));
    AMDServiceConnectionRef connection = nullptr;
    EXPECT_NE(0, MD(AMDeviceConnect)(handle));
    EXPECT_NE(0, MD(AMDeviceStartSession)(handle));
    EXPECT_NE(0, MD(AMDeviceStopSession)(handle));
    EXPECT_NE(0, MD(AMDeviceDisconnect)(handle));
    EXPECT_EQ(nullptr, MD(AMDeviceCopyValue)(handle, nullptr, key.get()));
    EXPECT_EQ(nullptr, MD(AMDeviceCopyDeviceIdentifier)(handle));
    EXPECT_EQ(-1, MD(AMDeviceGetAccessState)(handle));
    EXPECT_NE(0, MD(AMDeviceStartService)(handle, service.get(), &connection, nullptr));
    EXPECT_EQ(nullptr, connection);
    // A handle the library never issued fails the same way.
    EXPECT_NE(0, MD(AMDeviceConnect)(reinterpret_cast<AMDeviceRef>(&connection)));

    // Plugged in again, the same phone is a new device with a new handle.
    harness_.mux().attach(device);
    const std::optional<AMDeviceRef> again = recorder().waitFor(device.udid, kAMDeviceArrived, 2);
    ASSERT_TRUE(again.has_value());
    EXPECT_NE(handle, *again);
    EXPECT_EQ((std::vector<uint32_t>{kAMDeviceNotReady, kAMDeviceArrived, kAMDeviceRemoved,
                                     kAMDeviceNotReady, kAMDeviceArrived}),
              recorder().messagesFor(device.udid));
}

TEST_F(UsbmuxLibraryTest, UntrustedDeviceIsNotReadyUntilAPairingExists) {
    DeviceState device = harness_.newDevice();
    device.paired = false;
    AMDeviceRef handle = arrive(device, kAMDeviceNotReady);
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(kAMDeviceAccessUntrusted, MD(AMDeviceGetAccessState)(handle));
    EXPECT_EQ(device.udid, stringValue(MD(AMDeviceCopyDeviceIdentifier)(handle)));
    // A lockdown connection always carries a session, which takes a pairing.
    EXPECT_NE(0, MD(AMDeviceConnect)(handle));
    EXPECT_NE(0, MD(AMDeviceStartSession)(handle));
    const Plist key(plist_new_string("DeviceName"));
    EXPECT_EQ(nullptr, MD(AMDeviceCopyValue)(handle, nullptr, key.get()));
    EXPECT_NE(0, MD(AMDeviceDisconnect)(handle));

    device.paired = true;
    harness_.mux().update(device);
    const std::optional<AMDeviceRef> arrived = recorder().waitFor(device.udid, kAMDeviceArrived);
    ASSERT_TRUE(arrived.has_value());
    EXPECT_EQ(handle, *arrived);
    EXPECT_EQ(kAMDeviceAccessReady, MD(AMDeviceGetAccessState)(handle));
    EXPECT_EQ((std::vector<uint32_t>{kAMDeviceNotReady, kAMDeviceNotReady, kAMDeviceArrived}),
              recorder().messagesFor(device.udid));
}

TEST_F(UsbmuxLibraryTest, LockedDeviceIsNotReadyUntilUnlockedAndRemovalStillReported) {
    DeviceState device = harness_.newDevice();
    device.sessionError = "PasswordProtected";
    AMDeviceRef handle = arrive(device, kAMDeviceNotReady);
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(kAMDeviceAccessLocked, MD(AMDeviceGetAccessState)(handle));

    device.sessionError.clear();
    harness_.mux().update(device);
    ASSERT_TRUE(recorder().waitFor(device.udid, kAMDeviceArrived).has_value());

    harness_.mux().detach(device.id);
    ASSERT_TRUE(recorder().waitFor(device.udid, kAMDeviceRemoved).has_value());
    EXPECT_EQ((std::vector<uint32_t>{kAMDeviceNotReady, kAMDeviceNotReady, kAMDeviceArrived,
                                     kAMDeviceRemoved}),
              recorder().messagesFor(device.udid));
}

TEST_F(UsbmuxLibraryTest, ValuesAreReadInsideASessionOnly) {
    AMDeviceRef handle = arrive(harness_.newDevice());
    ASSERT_NE(nullptr, handle);
    const Plist name(plist_new_string("DeviceName"));
    const Plist battery(plist_new_string("com.apple.mobile.battery"));
    const Plist capacity(plist_new_string("BatteryCurrentCapacity"));

    ASSERT_EQ(0, MD(AMDeviceConnect)(handle));
    EXPECT_EQ(nullptr, MD(AMDeviceCopyValue)(handle, nullptr, name.get()));
    ASSERT_EQ(0, MD(AMDeviceStartSession)(handle));
    EXPECT_EQ("Stand-in", stringValue(MD(AMDeviceCopyValue)(handle, nullptr, name.get())));
    const Plist level(MD(AMDeviceCopyValue)(handle, battery.get(), capacity.get()));
    uint64_t percent = 0;
    ASSERT_EQ(PLIST_UINT, plist_get_node_type(level.get()));
    plist_get_uint_val(level.get(), &percent);
    EXPECT_EQ(80u, percent);
    EXPECT_EQ(nullptr, MD(AMDeviceCopyValue)(handle, nullptr, battery.get()));  // no such key
    // A key of another type than string is refused, not taken as "all values".
    const Plist number(plist_new_uint(1));
    EXPECT_EQ(nullptr, MD(AMDeviceCopyValue)(handle, nullptr, number.get()));
    EXPECT_EQ(0, MD(AMDeviceStopSession)(handle));
    EXPECT_EQ(0, MD(AMDeviceDisconnect)(handle));
    // Disconnecting more often than connecting fails. The arrival's own use of the connection
    // may still be ending on the watcher's thread (on a slow machine), which takes one more.
    int extraDisconnects = 0;
    while (extraDisconnects < 2 && MD(AMDeviceDisconnect)(handle) == 0)
        ++extraDisconnects;
    EXPECT_LE(extraDisconnects, 1);
}

TEST_F(UsbmuxLibraryTest, ServiceReceiveTimesOutAndInvalidateEndsTheConnection) {
    AMDeviceRef handle = arrive(harness_.newDevice());
    ASSERT_NE(nullptr, handle);
    const Plist unknown(plist_new_string("com.example.none"));
    AMDServiceConnectionRef refused = nullptr;
    ASSERT_EQ(0, MD(AMDeviceConnect)(handle));
    ASSERT_EQ(0, MD(AMDeviceStartSession)(handle));
    EXPECT_NE(0, MD(AMDeviceStartService)(handle, unknown.get(), &refused, nullptr));
    MD(AMDeviceStopSession)(handle);
    MD(AMDeviceDisconnect)(handle);

    AMDServiceConnectionRef service = startService(handle, "com.plovik.silent");
    ASSERT_NE(nullptr, service);
    EXPECT_EQ(4, MD(AMDServiceConnectionSend)(service, "ping", 4));
    ASSERT_EQ(0, MD(AMDServiceConnectionSetReceiveTimeout)(service, 200));
    char buffer[16];
    const auto started = std::chrono::steady_clock::now();
    EXPECT_LT(MD(AMDServiceConnectionReceive)(service, buffer, sizeof buffer), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);

    EXPECT_EQ(0, MD(AMDServiceConnectionInvalidate)(service));
    EXPECT_LT(MD(AMDServiceConnectionReceive)(service, buffer, sizeof buffer), 0);
    EXPECT_LT(MD(AMDServiceConnectionSend)(service, "ping", 4), 0);
    EXPECT_NE(0, MD(AMDServiceConnectionInvalidate)(service));

    // A device that takes nothing more fails a send within the same time-out.
    AMDServiceConnectionRef deaf = startService(handle, "com.plovik.deaf");
    ASSERT_NE(nullptr, deaf);
    ASSERT_EQ(0, MD(AMDServiceConnectionSetReceiveTimeout)(deaf, 200));
    const std::vector<char> upload(64 << 20, 'u');
    const auto sending = std::chrono::steady_clock::now();
    EXPECT_LT(MD(AMDServiceConnectionSend)(deaf, upload.data(), upload.size()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - sending, 5s);
    EXPECT_EQ(0, MD(AMDServiceConnectionInvalidate)(deaf));
}

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

TEST_F(AfcTest, OpenModesReachTheDeviceUnchangedAndReadsReturnWhatRemains) {
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Modes"));
    writeFile("/Modes/kept.txt", "0123456789");
    writeFile("/Modes/kept.txt", "abc", kAFCFileModeReadWrite);
    EXPECT_EQ("abc3456789", harness_.mux().afc().fileContent("/Modes/kept.txt"));
    AFCFileRef file = 0;
    EXPECT_NE(0, MD(AFCFileRefOpen)(afc_, "/Modes/kept.txt", 7, 0, &file));
    EXPECT_NE(0, MD(AFCFileRefOpen)(afc_, "/Modes/kept.txt", 0, 0, &file));

    writeFile("/Modes/a.txt", std::string(5000, 'x'));
    writeFile("/Modes/a.txt", "short");
    EXPECT_EQ("short", harness_.mux().afc().fileContent("/Modes/a.txt"));

    ASSERT_EQ(0, MD(AFCFileRefOpen)(afc_, "/Modes/a.txt", kAFCFileModeRead, 0, &file));
    ASSERT_NE(0u, file);
    EXPECT_EQ(0, MD(AFCFileRefSeek)(afc_, file, 0, kAFCSeekFromEnd));
    uint64_t position = 0;
    EXPECT_EQ(0, MD(AFCFileRefTell)(afc_, file, &position));
    EXPECT_EQ(5u, position);
    EXPECT_EQ(0, MD(AFCFileRefSeek)(afc_, file, 0, kAFCSeekFromStart));
    char buffer[64] = {};
    uint32_t length = sizeof buffer;
    EXPECT_EQ(0, MD(AFCFileRefRead)(afc_, file, buffer, &length));
    EXPECT_EQ("short", std::string(buffer, length));
    length = sizeof buffer;
    EXPECT_EQ(0, MD(AFCFileRefRead)(afc_, file, buffer, &length));
    EXPECT_EQ(0u, length);
    EXPECT_NE(0, MD(AFCFileRefSeek)(afc_, file, 0, 1));  // only the two documented origins
    EXPECT_EQ(0, MD(AFCFileRefClose)(afc_, file));
}

TEST_F(AfcTest, ReadsAheadKeepTheirPlaceAcrossOtherRequestsSeeksAndTells) {
    std::string content;
    for (int index = 0; content.size() < 3500; ++index) {
        content += std::to_string(index) + ',';
    }
    content.resize(3500);
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Stream"));
    writeFile("/Stream/data.txt", content);
    AFCFileRef file = 0;
    ASSERT_EQ(0, MD(AFCFileRefOpen)(afc_, "/Stream/data.txt", kAFCFileModeRead, 0, &file));
    const auto read = [&](uint32_t wanted) {
        std::string buffer(wanted, '\0');
        uint32_t length = wanted;
        EXPECT_EQ(0, MD(AFCFileRefRead)(afc_, file, buffer.data(), &length));
        buffer.resize(length);
        return buffer;
    };
    const auto position = [&] {
        uint64_t at = 0;
        EXPECT_EQ(0, MD(AFCFileRefTell)(afc_, file, &at));
        return at;
    };
    // Each full read has sent the next one; requests between the reads take its reply in.
    EXPECT_EQ(content.substr(0, 1000), read(1000));
    EXPECT_EQ(1000u, position());
    EXPECT_EQ((std::vector<std::string>{".", "..", "data.txt"}), list("/Stream"));
    EXPECT_EQ(content.substr(1000, 1000), read(1000));
    EXPECT_EQ(content.substr(2000, 400), read(400));
    EXPECT_EQ(2400u, position());
    EXPECT_EQ(content.substr(2400, 1000), read(1000));
    EXPECT_EQ(0, MD(AFCFileRefSeek)(afc_, file, 0, kAFCSeekFromStart));
    EXPECT_EQ(content.substr(0, 1000), read(1000));
    EXPECT_EQ(content.substr(1000, 3000), read(3000));
    EXPECT_EQ("", read(1000));
    EXPECT_EQ(0, MD(AFCFileRefSeek)(afc_, file, 0, kAFCSeekFromStart));
    EXPECT_EQ(content.substr(0, 500), read(500));
    // Closed with a read on the way: the next request is answered in place.
    EXPECT_EQ(0, MD(AFCFileRefClose)(afc_, file));
    EXPECT_EQ((std::vector<std::string>{".", "..", "data.txt"}), list("/Stream"));

    // A file opened for writing too is never read ahead: the next write lands after the read.
    ASSERT_EQ(0, MD(AFCFileRefOpen)(afc_, "/Stream/data.txt", kAFCFileModeReadWrite, 0, &file));
    EXPECT_EQ(content.substr(0, 1000), read(1000));
    EXPECT_EQ(0, MD(AFCFileRefWrite)(afc_, file, "XYZ", 3));
    EXPECT_EQ(0, MD(AFCFileRefClose)(afc_, file));
    EXPECT_EQ("XYZ", harness_.mux().afc().fileContent("/Stream/data.txt").substr(1000, 3));
}

TEST_F(AfcTest, AWriteRefusedAfterItsCallReturnedFailsTheNextWriteOrTheClose) {
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Writes"));
    AFCFileRef file = 0;
    ASSERT_EQ(0, MD(AFCFileRefOpen)(afc_, "/Writes/all.txt", kAFCFileModeWriteTruncate, 0, &file));
    for (const char* part : {"one ", "two ", "three"}) {
        EXPECT_EQ(0, MD(AFCFileRefWrite)(afc_, file, part, static_cast<uint32_t>(strlen(part))));
    }
    EXPECT_EQ(0, MD(AFCFileRefClose)(afc_, file));
    EXPECT_EQ("one two three", harness_.mux().afc().fileContent("/Writes/all.txt"));

    ASSERT_EQ(0, MD(AFCFileRefOpen)(afc_, "/Full/a.bin", kAFCFileModeWriteTruncate, 0, &file));
    EXPECT_EQ(0, MD(AFCFileRefWrite)(afc_, file, "one", 3));
    EXPECT_NE(0, MD(AFCFileRefWrite)(afc_, file, "two", 3));
    EXPECT_NE(0, MD(AFCFileRefWrite)(afc_, file, "three", 5));
    EXPECT_NE(0, MD(AFCFileRefClose)(afc_, file));

    // The last write's refusal is not lost when other requests come first.
    ASSERT_EQ(0, MD(AFCFileRefOpen)(afc_, "/Full/b.bin", kAFCFileModeWriteTruncate, 0, &file));
    EXPECT_EQ(0, MD(AFCFileRefWrite)(afc_, file, "one", 3));
    EXPECT_EQ((std::vector<std::string>{".", "..", "all.txt"}), list("/Writes"));
    EXPECT_NE(0, MD(AFCFileRefClose)(afc_, file));
    EXPECT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/After"));
}

TEST_F(AfcTest, ListingInformationRenameAndRemove) {
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Paths"));
    writeFile("/Paths/one.jpg", "12345678");
    EXPECT_EQ((std::vector<std::string>{".", "..", "one.jpg"}), list("/Paths"));

    AFCDictionaryRef info = nullptr;
    ASSERT_EQ(0, MD(AFCFileInfoOpen)(afc_, "/Paths/one.jpg", &info));
    std::vector<std::pair<std::string, std::string>> pairs;
    char* key = nullptr;
    char* value = nullptr;
    while (MD(AFCKeyValueRead)(info, &key, &value) == 0 && key != nullptr) {
        pairs.emplace_back(key, value);
    }
    EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{{"st_size", "8"},
                                                                {"st_ifmt", "S_IFREG"}}),
              pairs);
    EXPECT_EQ(0, MD(AFCKeyValueClose)(info));

    EXPECT_EQ(0, MD(AFCRenamePath)(afc_, "/Paths/one.jpg", "/Paths/two.jpg"));
    EXPECT_EQ((std::vector<std::string>{".", "..", "two.jpg"}), list("/Paths"));
    AFCFileRef file = 0;
    EXPECT_EQ(8, MD(AFCFileRefOpen)(afc_, "/Paths/one.jpg", kAFCFileModeRead, 0, &file));
    EXPECT_EQ(8, MD(AFCFileInfoOpen)(afc_, "/Paths/one.jpg", &info));
    EXPECT_EQ(0, MD(AFCRemovePath)(afc_, "/Paths/two.jpg"));
    EXPECT_EQ(8, MD(AFCRemovePath)(afc_, "/Paths/two.jpg"));
    EXPECT_NE(0, MD(AFCDirectoryCreate)(afc_, nullptr));
}

struct StreamAnswer {
    int result = -1;
    std::string size;
    int times = 0;
};

// Asks for the information of folder/0 … folder/(count-1) and folder/missing in one stream.
std::vector<StreamAnswer> infoStream(AFCConnectionRef afc, const std::string& folder, int count,
                                     int* result) {
    std::vector<std::string> paths;
    for (int index = 0; index < count; ++index)
        paths.push_back(folder + "/" + std::to_string(index));
    paths.push_back(folder + "/missing");
    std::vector<const char*> asked;
    for (const std::string& path : paths)
        asked.push_back(path.c_str());
    std::vector<StreamAnswer> answers(paths.size());
    *result = MD(AFCFileInfoStream)(
        afc, asked.data(), asked.size(),
        [](void* context, size_t index, int answered, AFCDictionaryRef info) {
            StreamAnswer& answer = (*static_cast<std::vector<StreamAnswer>*>(context))[index];
            answer.result = answered;
            ++answer.times;
            char* key = nullptr;
            char* value = nullptr;
            while (info != nullptr && MD(AFCKeyValueRead)(info, &key, &value) == 0 &&
                   key != nullptr) {
                if (std::string(key) == "st_size")
                    answer.size = value;
            }
        },
        &answers);
    return answers;
}

class AfcStreamTest : public AfcTest {
protected:
    // count files in folder, each as long as its name's number.
    void makeFiles(const std::string& folder, int count) {
        ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, folder.c_str()));
        for (int index = 0; index < count; ++index)
            writeFile((folder + "/" + std::to_string(index)).c_str(),
                      std::string(static_cast<size_t>(index), 'x'));
    }

    // Every file answered once with its own size, the missing one with "not found".
    void expectRightAnswers(const std::string& folder, int count) {
        int result = -1;
        const std::vector<StreamAnswer> answers = infoStream(afc_, folder, count, &result);
        EXPECT_EQ(0, result);
        for (int index = 0; index < count; ++index) {
            EXPECT_EQ(0, answers[index].result) << folder << " " << index;
            EXPECT_EQ(std::to_string(index), answers[index].size) << folder << " " << index;
            EXPECT_EQ(1, answers[index].times);
        }
        EXPECT_EQ(8, answers.back().result);
    }
};

TEST_F(AfcStreamTest, RepliesAreMatchedByPacketNumberAndADeviceRefusingThemGetsOneAtATime) {
    makeFiles("/Many", 300);
    makeFiles("/Busy", 40);
    testing::internal::CaptureStderr();
    expectRightAnswers("/Many", 300);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());

    // Refused while others wait: asked again alone, and so is everything after, once logged.
    testing::internal::CaptureStderr();
    expectRightAnswers("/Busy", 40);
    expectRightAnswers("/Busy", 40);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, log.find("failed a request sent ahead: one request at a time"))
        << log;
    EXPECT_EQ(log.find("one request at a time"), log.rfind("one request at a time")) << log;
    // Other requests still work, one at a time.
    const std::vector<std::string> names = list("/");
    EXPECT_NE(std::find(names.begin(), names.end(), "Busy"), names.end());
}

TEST_F(AfcStreamTest, AnUnorderedDeviceFallsBackAndAReplyToNoRequestBreaksTheStream) {
    makeFiles("/Unordered", 40);
    testing::internal::CaptureStderr();
    expectRightAnswers("/Unordered", 40);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "answered out of order: one request at a time"));

    makeFiles("/Garbled", 3);
    int result = 0;
    testing::internal::CaptureStderr();
    const std::vector<StreamAnswer> answers = infoStream(afc_, "/Garbled", 3, &result);
    EXPECT_NE(std::string::npos,
              testing::internal::GetCapturedStderr().find("which no request on the way has"));
    EXPECT_EQ(2, result);
    EXPECT_EQ(0, answers.front().times);
    // The stream lost its place: nothing more is read from it.
    AFCDictionaryRef info = nullptr;
    EXPECT_NE(0, MD(AFCFileInfoOpen)(afc_, "/Unordered/1", &info));
}

struct ContentsAnswer {
    int result = -1;
    std::string contents;
    int times = 0;
};

// Reads folder/0 … folder/(count-1), each expected at expectedSize(index) bytes, and
// folder/missing in one stream of whole files.
std::vector<ContentsAnswer> contentsStream(AFCConnectionRef afc, const std::string& folder,
                                           int count, uint64_t largest,
                                           const std::function<uint64_t(int)>& expectedSize,
                                           int* result) {
    std::vector<std::string> paths;
    std::vector<uint64_t> sizes;
    for (int index = 0; index < count; ++index) {
        paths.push_back(folder + "/" + std::to_string(index));
        sizes.push_back(expectedSize(index));
    }
    paths.push_back(folder + "/missing");
    sizes.push_back(10);
    std::vector<const char*> asked;
    for (const std::string& path : paths)
        asked.push_back(path.c_str());
    std::vector<ContentsAnswer> answers(paths.size());
    *result = MD(AFCFileContentsStream)(
        afc, asked.data(), sizes.data(), asked.size(), largest,
        [](void* context, size_t index, int answered, const void* bytes, uint64_t length) {
            ContentsAnswer& answer = (*static_cast<std::vector<ContentsAnswer>*>(context))[index];
            answer.result = answered;
            answer.contents.assign(static_cast<const char*>(bytes), length);
            ++answer.times;
        },
        &answers);
    return answers;
}

TEST_F(AfcStreamTest, WholeFilesArriveInOneStreamAlsoFromADeviceRefusingOrReorderingRequests) {
    // Each file is index bytes of 'x'; some are listed shorter or longer than they are now.
    const auto expectRightContents = [&](const std::string& folder, int count) {
        int result = -1;
        const std::vector<ContentsAnswer> answers = contentsStream(
            afc_, folder, count, 200,
            [](int index) { return uint64_t(index % 3 == 0 ? index / 2 : index + 5); }, &result);
        EXPECT_EQ(0, result);
        for (int index = 0; index < count; ++index) {
            EXPECT_EQ(1, answers[index].times) << folder << " " << index;
            if (index > 200) {
                EXPECT_EQ(13, answers[index].result) << folder << " " << index;
                continue;
            }
            EXPECT_EQ(0, answers[index].result) << folder << " " << index;
            EXPECT_EQ(std::string(static_cast<size_t>(index), 'x'), answers[index].contents)
                << folder << " " << index;
        }
        EXPECT_EQ(8, answers.back().result);
        EXPECT_EQ(1, answers.back().times);
    };
    makeFiles("/Whole", 240);
    makeFiles("/Busy", 30);
    makeFiles("/Unordered", 30);
    testing::internal::CaptureStderr();
    expectRightContents("/Whole", 240);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());

    testing::internal::CaptureStderr();
    expectRightContents("/Busy", 30);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "failed a request sent ahead: one request at a time"));
    // One at a time from then on, and still whole.
    expectRightContents("/Unordered", 30);
    expectRightContents("/Whole", 240);
}

TEST_F(AfcStreamTest, AReorderedStreamOfWholeFilesFallsBackWithTheirContentsInOrder) {
    makeFiles("/Unordered", 30);
    testing::internal::CaptureStderr();
    int result = -1;
    const std::vector<ContentsAnswer> answers = contentsStream(
        afc_, "/Unordered", 30, 100, [](int index) { return uint64_t(index); }, &result);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "answered out of order: one request at a time"));
    EXPECT_EQ(0, result);
    for (int index = 0; index < 30; ++index)
        EXPECT_EQ(std::string(static_cast<size_t>(index), 'x'), answers[index].contents) << index;
}

struct WriteAnswer {
    int result = -1;
    bool stagedLeft = false;
    int times = 0;
};

// Writes folder/0 … folder/(count-1), each index bytes of 'w', through folder/.staged-N.
std::vector<WriteAnswer> writeStream(AFCConnectionRef afc, const std::string& folder, int count,
                                     int* result) {
    std::vector<std::string> paths;
    std::vector<std::string> staged;
    std::vector<std::string> contents;
    for (int index = 0; index < count; ++index) {
        paths.push_back(folder + "/" + std::to_string(index));
        staged.push_back(folder + "/.staged-" + std::to_string(index));
        contents.emplace_back(static_cast<size_t>(index), 'w');
    }
    std::vector<AFCFileWrite> files;
    for (int index = 0; index < count; ++index)
        files.push_back({paths[index].c_str(), staged[index].c_str(), contents[index].data(),
                         contents[index].size(), uint64_t{1700000000} * 1000000000});
    std::vector<WriteAnswer> answers(files.size());
    *result = MD(AFCFileWriteStream)(
        afc, files.data(), files.size(),
        [](void* context, size_t index, int answered, int stagedLeft) {
            WriteAnswer& answer = (*static_cast<std::vector<WriteAnswer>*>(context))[index];
            answer.result = answered;
            answer.stagedLeft = stagedLeft != 0;
            ++answer.times;
        },
        &answers);
    return answers;
}

TEST_F(AfcStreamTest, SmallFilesAreWrittenInOneStreamAndNothingIsPlacedOverWhatIsThere) {
    const auto expectWritten = [&](const std::string& folder, int count, int taken) {
        int result = -1;
        const std::vector<WriteAnswer> answers = writeStream(afc_, folder, count, &result);
        EXPECT_EQ(0, result);
        for (int index = 0; index < count; ++index) {
            EXPECT_EQ(1, answers[index].times) << folder << " " << index;
            EXPECT_FALSE(answers[index].stagedLeft) << folder << " " << index;
            EXPECT_EQ(index == taken ? 16 : 0, answers[index].result) << folder << " " << index;
        }
        // The written files under their names, what was there kept, no staged file left.
        int readResult = -1;
        const std::vector<ContentsAnswer> read = contentsStream(
            afc_, folder, count, 1000, [](int index) { return uint64_t(index); }, &readResult);
        for (int index = 0; index < count; ++index) {
            EXPECT_EQ(index == taken ? std::string("kept") : std::string(index, 'w'),
                      read[index].contents)
                << folder << " " << index;
        }
        for (const std::string& name : list(folder.c_str()))
            EXPECT_EQ(std::string::npos, name.find("staged")) << name;
    };
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Pushed"));
    writeFile("/Pushed/7", "kept");
    testing::internal::CaptureStderr();
    expectWritten("/Pushed", 120, 7);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());

    // A device without space: each fails with its reason, and neither it nor its staged file
    // stays behind.
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Full"));
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Full/Pushed"));
    int result = -1;
    const std::vector<WriteAnswer> full = writeStream(afc_, "/Full/Pushed", 5, &result);
    EXPECT_EQ(0, result);
    for (int index = 1; index < 5; ++index)
        EXPECT_EQ(18, full[index].result) << index;
    EXPECT_EQ(0, full[0].result);  // nothing to write
    EXPECT_EQ((std::vector<std::string>{".", "..", "0"}), list("/Full/Pushed"));

    // A device refusing requests sent ahead gets them again, one at a time.
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Busy"));
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Busy/Pushed"));
    writeFile("/Busy/Pushed/3", "kept");
    testing::internal::CaptureStderr();
    expectWritten("/Busy/Pushed", 30, 3);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "failed a request sent ahead: one request at a time"));
}

TEST_F(AfcTest, ReplyOutOfSequenceFailsThisAndEveryLaterCall) {
    AFCDirectoryRef directory = nullptr;
    EXPECT_NE(0, MD(AFCDirectoryOpen)(afc_, "/desync", &directory));
    EXPECT_NE(0, MD(AFCDirectoryOpen)(afc_, "/", &directory));
    EXPECT_EQ(nullptr, directory);
}

TEST_F(AfcTest, ConnectionFailsOnceItsServiceIsInvalidatedAndClosedHandlesAreUnknown) {
    ASSERT_EQ(0, MD(AMDServiceConnectionInvalidate)(service_));
    service_ = nullptr;
    EXPECT_NE(0, MD(AFCDirectoryCreate)(afc_, "/After"));
    EXPECT_EQ(0, MD(AFCConnectionClose)(afc_));
    EXPECT_NE(0, MD(AFCConnectionClose)(afc_));
    EXPECT_NE(0, MD(AFCDirectoryCreate)(afc_, "/After"));
    afc_ = nullptr;
}

}  // namespace
