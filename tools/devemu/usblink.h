// The simulated USB link of one device, one cable that every connection of the device shares:
// transfers in one direction are booked back to back at the profile's bandwidth, their bytes
// arrive as they cross rather than in one burst at the end, and a reply starts the profile's
// latency after its request crossed, the device's work on it included. The two directions share
// the cable packet by packet: a transfer overlapping one the other way holds that one back by
// its own length, so the sum never exceeds the bandwidth, yet a short request never waits behind
// a long reply. A host that sends its next request before the last reply has arrived thus keeps
// the cable busy, as it would on a real one.
#ifndef PLOVIK_DEVEMU_USBLINK_H
#define PLOVIK_DEVEMU_USBLINK_H

#include "hostboundbuffer.h"

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string_view>

namespace plovik::devemu {

struct LinkProfile {
    // Small enough that the host sees a long reply arrive steadily, large enough that pacing it
    // costs little: 1.9 ms of a USB 2 link.
    static constexpr std::size_t kDefaultPacketBytes = 64 << 10;

    double bytesPerSecond = 0;  // 0: unlimited
    std::chrono::microseconds latency{0};
    // Replies cross, and reach the host, a packet at a time.
    std::size_t packetBytes = kDefaultPacketBytes;

    // "usb2", "usb3", "none", or "MBPS,MS[,PACKET]" (megabytes per second, milliseconds per
    // request, bytes per packet).
    static std::optional<LinkProfile> parse(std::string_view text);
};

class UsbLink {
public:
    using Clock = std::chrono::steady_clock;

    explicit UsbLink(LinkProfile profile) : profile_(profile) {}

    Clock::duration latency() const { return profile_.latency; }

    // Books a request of bytes from the host that began to arrive at arrived; the time it has
    // crossed completely, before which the device must not act on it.
    Clock::time_point receive(std::size_t bytes, Clock::time_point arrived);
    // Hands bytes to out as they cross the link, slice by slice, starting at notBefore (even
    // when that has passed) or after every transfer booked before. false when the peer is gone.
    bool transmit(HostBoundBuffer& out, const char* bytes, std::size_t length,
                  Clock::time_point notBefore);
    std::size_t packetBytes() const { return profile_.packetBytes; }

private:
    struct Booking {
        Clock::time_point start;
        Clock::time_point end;
    };

    // Books bytes behind what was booked in their direction; what crosses the other way
    // meanwhile is held back by as long.
    Booking book(Clock::time_point& direction, Clock::time_point& otherDirection, std::size_t bytes,
                 Clock::time_point notBefore);

    const LinkProfile profile_;
    std::mutex mutex_;
    Clock::time_point toDeviceUntil_{};
    Clock::time_point toHostUntil_{};
};

}  // namespace plovik::devemu

#endif
