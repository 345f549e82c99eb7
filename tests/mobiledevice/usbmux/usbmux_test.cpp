// libplovik-usbmux.so against the usbmuxd stand-in: devices arriving, leaving and waiting for a
// pairing or an unlock, values read in a session, services, and AFC calls one at a time.
#include "usbmuxfixtures.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using plovik::devemu::Plist;
using standin::DeviceState;

namespace {

std::string stringValue(plist_t node) {
    const Plist owned(node);
    return plist_get_node_type(node) == PLIST_STRING ? plist_get_string_ptr(node, nullptr) : "";
}

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
