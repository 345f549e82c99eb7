// The emulator's daemon in process, spoken to at the byte level as libusbmuxd and
// libimobiledevice speak to it: what the end-to-end script cannot see.
#include "afcpacket.h"
#include "daemonfixture.h"
#include "faultplan.h"
#include "hostboundbuffer.h"
#include "muxconnection.h"
#include "muxframing.h"
#include "serviceports.h"
#include "socketio.h"
#include "usblink.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <valgrind/valgrind.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

// Whether a sanitizer's runtime slows this program, as valgrind does.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

using namespace plovik::devemu;
using namespace devemutest;
using MuxDaemonTest = DaemonTest;

uint64_t statusCode(const AfcReply& reply) {
    AfcRequest asArguments;
    asArguments.arguments = reply.body;
    return reply.operation == kAfcStatus ? asArguments.number(0) : UINT64_MAX;
}

std::string afcRequest(uint64_t operation, const std::string& arguments, uint64_t packetNumber) {
    // Without payload a request is laid out as a STATUS-like reply: both lengths equal.
    return encodeAfcReply(packetNumber, AfcReply{operation, arguments});
}

std::string numberArguments(uint64_t first, uint64_t second) {
    const uint64_t numbers[2] = {first, second};
    return std::string(reinterpret_cast<const char*>(numbers), sizeof numbers);
}

TEST_F(MuxDaemonTest, ListsTheDeviceAndConnectsToLockdownThroughTheSwappedPort) {
    startDaemon();
    const Plist list = MuxConnection(socketPath()).request("ListDevices");
    const plist_t devices = plist_dict_get_item(list.get(), "DeviceList");
    ASSERT_EQ(plist_array_get_size(devices), 1u);
    const plist_t properties = plist_dict_get_item(plist_array_get_item(devices, 0), "Properties");
    EXPECT_EQ(stringItem(properties, "SerialNumber"), kUdid);
    EXPECT_EQ(stringItem(properties, "ConnectionType"), "USB");
    EXPECT_EQ(uintItem(properties, "DeviceID"), 1u);

    MuxConnection lockdown(socketPath());
    ASSERT_EQ(lockdown.connectTo(1, kLockdownPort), kMuxOk);
    const Plist reply = lockdown.lockdown(lockdownRequest("QueryType").get());
    EXPECT_EQ(stringItem(reply.get(), "Type"), "com.apple.mobile.lockdown");
    EXPECT_EQ(stringItem(reply.get(), "Request"), "QueryType");
}

TEST_F(MuxDaemonTest, RefusesUnknownDevicesAndPortsNothingListensOn) {
    faults_.add("refuse=com.apple.mobile.house_arrest");
    startDaemon();
    EXPECT_EQ(MuxConnection(socketPath()).connectTo(9, kLockdownPort), kMuxBadDevice);
    EXPECT_EQ(MuxConnection(socketPath()).connectTo(1, 1234), kMuxConnectionRefused);
    // No Root folder: no afc2.
    EXPECT_EQ(MuxConnection(socketPath()).connectTo(1, portOfService("com.apple.afc2")),
              kMuxConnectionRefused);
    EXPECT_EQ(
        MuxConnection(socketPath()).connectTo(1, portOfService("com.apple.mobile.house_arrest")),
        kMuxConnectionRefused);
    EXPECT_EQ(MuxConnection(socketPath()).connectTo(1, portOfService("com.apple.afc")), kMuxOk);
}

TEST_F(MuxDaemonTest, AfcRepliesEchoPacketsAndStayInsideTheServedFolder) {
    startDaemon();
    MuxConnection afc(socketPath());
    ASSERT_EQ(afc.connectTo(1, portOfService("com.apple.afc")), kMuxOk);
    uint64_t echoed = 0;
    uint64_t thisLength = 0;
    const AfcReply listing =
        afc.afc(kAfcReadDirectory, std::string("/DCIM\0", 6), 5, &echoed, &thisLength);
    EXPECT_EQ(listing.operation, kAfcData);
    EXPECT_EQ(listing.body, std::string(".\0..\0photo.jpg\0", 15));
    EXPECT_EQ(echoed, 5u);
    EXPECT_EQ(thisLength, 40u);
    for (const char* escape : {"/../outside.txt", "/DCIM/../../outside.txt", "/../../../etc"}) {
        const AfcReply info = afc.afc(kAfcGetFileInfo, std::string(escape) + '\0', 6);
        EXPECT_NE(statusCode(info), 0u) << escape;
        EXPECT_NE(info.operation, kAfcData) << escape;
    }
}

TEST_F(MuxDaemonTest, AnInconsistentAfcHeaderEndsOnlyThatConnection) {
    startDaemon();
    {
        MuxConnection afc(socketPath());
        ASSERT_EQ(afc.connectTo(1, portOfService("com.apple.afc")), kMuxOk);
        // this_length below the header's own size, entire_length of a terabyte.
        uint64_t header[5] = {0, uint64_t{1} << 40, 8, 1, kAfcReadDirectory};
        std::memcpy(header, "CFA6LPAA", 8);
        ASSERT_TRUE(writeAll(afc.socket(), header, sizeof header));
        char ignored = 0;
        EXPECT_FALSE(readExactly(afc.socket(), &ignored, 1, 5000));
    }
    MuxConnection next(socketPath());
    EXPECT_EQ(next.connectTo(1, portOfService("com.apple.afc")), kMuxOk);
}

TEST_F(MuxDaemonTest, DetachingAfterABudgetOfBytesCutsTheReplyAndAnnouncesIt) {
    faults_.add("detach-after-bytes=300");
    startDaemon();
    MuxConnection listener(socketPath());
    ASSERT_NE(listener.request("Listen"), nullptr);
    MuxRequest attached;
    ASSERT_TRUE(receiveMuxRequest(listener.socket(), attached));
    EXPECT_EQ(stringItem(attached.body.get(), "MessageType"), "Attached");

    MuxConnection afc(socketPath());
    ASSERT_EQ(afc.connectTo(1, portOfService("com.apple.afc")), kMuxOk);
    std::string open(8, '\0');
    open[0] = 1;
    open += std::string("/DCIM/photo.jpg\0", 16);
    const AfcReply opened = afc.afc(kAfcFileOpen, open, 1);
    ASSERT_EQ(opened.operation, kAfcFileOpenResult);
    uint64_t readArguments[2] = {0, 1000};
    std::memcpy(&readArguments[0], opened.body.data(), 8);
    const AfcReply read =
        afc.afc(kAfcFileRead, std::string(reinterpret_cast<const char*>(readArguments), 16), 2);
    // The 1040-byte reply is cut inside its body: the client sees a short stream, not data.
    EXPECT_EQ(read.operation, 0u);
    EXPECT_TRUE(read.body.empty());

    MuxRequest detached;
    ASSERT_TRUE(receiveMuxRequest(listener.socket(), detached));
    EXPECT_EQ(stringItem(detached.body.get(), "MessageType"), "Detached");
    EXPECT_EQ(uintItem(detached.body.get(), "DeviceID"), 1u);
    const Plist list = MuxConnection(socketPath()).request("ListDevices");
    EXPECT_EQ(plist_array_get_size(plist_dict_get_item(list.get(), "DeviceList")), 0u);
    EXPECT_NE(MuxConnection(socketPath()).connectTo(1, kLockdownPort), kMuxOk);
}

TEST_F(MuxDaemonTest, ARequestSentAheadOfTheReplyBeforeCostsNoSecondRoundTrip) {
    std::ofstream(folder_ / "device/Media/DCIM/clip.mov") << std::string(1'400'000, 'v');
    // 20 ms of the link per read below, 50 ms for every round trip.
    startDaemon(*LinkProfile::parse("35,50"));
    MuxConnection afc(socketPath());
    ASSERT_EQ(afc.connectTo(1, portOfService("com.apple.afc")), kMuxOk);
    std::string open(8, '\0');
    open[0] = 1;
    open += std::string("/DCIM/clip.mov\0", 15);
    const AfcReply opened = afc.afc(kAfcFileOpen, open, 1);
    ASSERT_EQ(opened.operation, kAfcFileOpenResult);
    uint64_t file = 0;
    std::memcpy(&file, opened.body.data(), sizeof file);

    const auto start = std::chrono::steady_clock::now();
    const std::string reads = afcRequest(kAfcFileRead, numberArguments(file, 700'000), 2) +
                              afcRequest(kAfcFileRead, numberArguments(file, 700'000), 3);
    ASSERT_TRUE(writeAll(afc.socket(), reads.data(), reads.size()));
    std::string replies(2 * (40 + 700'000), '\0');
    char* position = replies.data();
    ASSERT_TRUE(readExactly(afc.socket(), position, 40, 5000));
    ASSERT_TRUE(readExactly(afc.socket(), position + 40, replies.size() - 40, 5000));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // At least both replies' time on the link (40 ms) after one turnaround; that there was no
    // second turnaround the round trips counted below say, whatever the machine's load.
    EXPECT_GE(elapsed, std::chrono::milliseconds(89));
    EXPECT_EQ(replies.substr(40, 700'000), std::string(700'000, 'v'));

    afc.afc(kAfcFileClose, numberArguments(file, 0).substr(0, 8), 4);
    daemon_.reset();
    const std::string report = tally_->report();
    EXPECT_NE(report.find("afc-connections 1\n"), std::string::npos) << report;
    EXPECT_NE(report.find("afc-requests 4\n"), std::string::npos) << report;
    EXPECT_NE(report.find("afc-round-trips 3\n"), std::string::npos) << report;
    EXPECT_NE(report.find("afc FileRead 2\n"), std::string::npos) << report;
}

// The replies to info requests sent in one piece (the first expected of them): their packet
// numbers, in the order they came.
std::vector<uint64_t> answeredPackets(MuxConnection& afc, int count, int expected = -1) {
    std::string requests;
    for (int index = 0; index < count; ++index) {
        requests += afcRequest(kAfcGetFileInfo, std::string("/DCIM\0", 6),
                               static_cast<uint64_t>(index + 1));
    }
    EXPECT_TRUE(writeAll(afc.socket(), requests.data(), requests.size()));
    std::vector<uint64_t> numbers;
    for (int index = 0; index < (expected < 0 ? count : expected); ++index) {
        char header[40];
        uint64_t lengths[3] = {};
        if (!readExactly(afc.socket(), header, sizeof header, 5000))
            break;
        std::memcpy(lengths, header + 8, sizeof lengths);
        std::string body(lengths[0] - 40, '\0');
        if (!readExactly(afc.socket(), body.data(), body.size(), 5000))
            break;
        numbers.push_back(lengths[2]);
    }
    return numbers;
}

TEST_F(MuxDaemonTest, RequestsSentAtOnceAreAnsweredInOrderAndCostOneRoundTrip) {
    // 50 ms a request: thirty answered one round trip after another would take 1.5 s.
    startDaemon(*LinkProfile::parse("35,50"));
    MuxConnection afc(socketPath());
    ASSERT_EQ(afc.connectTo(1, portOfService("com.apple.afc")), kMuxOk);
    const auto start = std::chrono::steady_clock::now();
    std::vector<uint64_t> inOrder(30);
    std::iota(inOrder.begin(), inOrder.end(), 1);
    EXPECT_EQ(answeredPackets(afc, 30), inOrder);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    daemon_.reset();
    const std::string report = tally_->report();
    EXPECT_NE(report.find("afc-requests 30\n"), std::string::npos) << report;
    EXPECT_NE(report.find("afc-round-trips 1\n"), std::string::npos) << report;
}

TEST_F(MuxDaemonTest, RepliesDueBeforeAStalledRequestReachTheHost) {
    // Sent at once and answered at once, the first four are gathered for one write when the
    // fifth stalls.
    faults_.add("stall-at-request=5");
    startDaemon();
    MuxConnection afc(socketPath());
    ASSERT_EQ(afc.connectTo(1, portOfService("com.apple.afc")), kMuxOk);
    EXPECT_EQ(answeredPackets(afc, 5, 4), (std::vector<uint64_t>{1, 2, 3, 4}));
    pollfd waiting{afc.socket(), POLLIN, 0};
    EXPECT_EQ(poll(&waiting, 1, 100), 0);
}

TEST_F(MuxDaemonTest, TheUnorderedDrillAnswersARequestWaitingBehindAnotherFirst) {
    faults_.add("unordered-afc");
    startDaemon();
    MuxConnection afc(socketPath());
    ASSERT_EQ(afc.connectTo(1, portOfService("com.apple.afc")), kMuxOk);
    const std::vector<uint64_t> answered = answeredPackets(afc, 20);
    ASSERT_EQ(answered.size(), 20u);
    EXPECT_FALSE(std::is_sorted(answered.begin(), answered.end()));
    // One alone is answered as always.
    EXPECT_EQ(afc.afc(kAfcGetFileInfo, std::string("/DCIM\0", 6), 21).operation, kAfcData);
}

TEST(UsbLink, RepliesArriveAsTheyCrossAndRequestsCrossMeanwhile) {
    const auto usb2 = LinkProfile::parse("usb2");
    ASSERT_TRUE(usb2);
    UsbLink link(*usb2);
    int sockets[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    const auto start = std::chrono::steady_clock::now();
    std::thread sender([&] {
        const std::string bytes(3'500'000, 'x');
        HostBoundBuffer out(sockets[0], usb2->packetBytes);
        EXPECT_TRUE(link.transmit(out, bytes.data(), bytes.size(), start) && out.flush());
    });
    std::string received(3'500'000, '\0');
    ASSERT_TRUE(readExactly(sockets[1], received.data(), 1, 5000));
    const auto firstByte = std::chrono::steady_clock::now() - start;
    // 10 ms of request bytes while the 100 ms reply crosses: not held back behind it.
    const auto arrived = std::chrono::steady_clock::now();
    const auto crossed = link.receive(350'000, arrived);
    ASSERT_TRUE(readExactly(sockets[1], received.data() + 1, received.size() - 1, 5000));
    const auto lastByte = std::chrono::steady_clock::now() - start;
    sender.join();
    close(sockets[0]);
    close(sockets[1]);
    // The bytes come as the reply crosses, spread over its 100 ms, not in one burst at its end;
    // under valgrind or a sanitizer the thread alone starts late, so only the pacing is judged
    // there.
    if (RUNNING_ON_VALGRIND == 0 && !kSanitized) {
        EXPECT_GT(lastByte - firstByte, std::chrono::milliseconds(50));
    }
    EXPECT_GE(lastByte, std::chrono::milliseconds(99));
    EXPECT_LT(lastByte, std::chrono::milliseconds(1000));
    const double requestMs = std::chrono::duration<double, std::milli>(crossed - arrived).count();
    EXPECT_NEAR(requestMs, 10, 0.01);
    for (const char* bad :
         {"usb4", "35", "35,", ",1", "-1,1", "35,x", "35,1,", "35,1,0", "35,1,2.5"}) {
        EXPECT_FALSE(LinkProfile::parse(bad)) << bad;
    }
    EXPECT_TRUE(LinkProfile::parse("12.5,0.25"));
    const auto packets = LinkProfile::parse("35,0.5,512");
    ASSERT_TRUE(packets);
    EXPECT_EQ(packets->packetBytes, 512u);
    EXPECT_EQ(usb2->packetBytes, LinkProfile::kDefaultPacketBytes);
}

TEST(HostBoundBuffer, GathersRepliesThatAreDueUntilTheDeviceWaits) {
    int sockets[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    const auto readable = [&] {
        pollfd waiting{sockets[1], POLLIN, 0};
        return poll(&waiting, 1, 0) == 1;
    };
    HostBoundBuffer out(sockets[0], 1000);
    const auto before = HostBoundBuffer::Clock::now();
    ASSERT_TRUE(out.add("first ", 6) && out.add("second", 6));
    EXPECT_FALSE(readable());
    // A host cannot have seen a reply that is still gathered.
    EXPECT_FALSE(out.allWrittenBefore(HostBoundBuffer::Clock::now()));
    // The device's next wait sends them first, in one write.
    ASSERT_TRUE(out.waitUntil(HostBoundBuffer::Clock::now() + std::chrono::milliseconds(2)));
    char received[2000];
    EXPECT_EQ(recv(sockets[1], received, sizeof received, MSG_DONTWAIT), 12);
    EXPECT_FALSE(out.allWrittenBefore(before));
    EXPECT_TRUE(out.allWrittenBefore(HostBoundBuffer::Clock::now()));
    // A packet's worth goes at once, after what was gathered before it.
    ASSERT_TRUE(out.add("x", 1));
    const std::string packet(1000, 'p');
    ASSERT_TRUE(out.add(packet.data(), packet.size()));
    ASSERT_TRUE(readExactly(sockets[1], received, 1001, 1000));
    EXPECT_EQ(std::string(received, 2), "xp");
    // Bytes that have waited long enough go at the next look, wait or not.
    ASSERT_TRUE(out.add("late", 4));
    std::this_thread::sleep_for(HostBoundBuffer::kHoldLimit * 2);
    ASSERT_TRUE(out.waitUntil(HostBoundBuffer::Clock::now()));
    EXPECT_EQ(recv(sockets[1], received, sizeof received, MSG_DONTWAIT), 4);
    close(sockets[0]);
    close(sockets[1]);
}

TEST(FaultPlan, RejectsUnknownFaultsAndUnusableCounts) {
    FaultPlan faults;
    for (const char* bad : {"lock", "unpaired", "refuse=", "detach-after-bytes=0",
                            "detach-at-request=x", "stall-at-request=-1", "locked=1", "no-tls"}) {
        EXPECT_FALSE(faults.add(bad)) << bad;
    }
    EXPECT_TRUE(faults.add("detach-at-request=3"));
    EXPECT_TRUE(faults.add("stall-at-request=5"));
    EXPECT_EQ(faults.atRequest(3), RequestFault::Detach);
    EXPECT_EQ(faults.atRequest(5), RequestFault::Stall);
    EXPECT_EQ(faults.atRequest(4), RequestFault::None);
}

}  // namespace
