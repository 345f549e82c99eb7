// The simulated USB link of one device: every transfer takes its share of the bandwidth, and
// every request a turnaround, so timings resemble a real cable.
#ifndef PLOVIK_DEVEMU_USBLINK_H
#define PLOVIK_DEVEMU_USBLINK_H

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string_view>

namespace plovik::devemu {

struct LinkProfile {
    double bytesPerSecond = 0;  // 0: unlimited
    std::chrono::microseconds latency{0};

    // "usb2", "usb3", "none", or "MBPS,MS" (megabytes per second, milliseconds per request).
    static std::optional<LinkProfile> parse(std::string_view text);
};

class UsbLink {
public:
    explicit UsbLink(LinkProfile profile) : profile_(profile) {}

    // Returns once the bytes would have crossed the link; transfers of all connections of the
    // device queue behind each other as on one cable.
    void carry(std::size_t bytes);
    void turnaround() const;

private:
    using Clock = std::chrono::steady_clock;

    const LinkProfile profile_;
    std::mutex mutex_;
    Clock::time_point busyUntil_{};
};

}  // namespace plovik::devemu

#endif
