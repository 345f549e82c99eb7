#include "usblink.h"

#include <algorithm>
#include <charconv>
#include <thread>

namespace plovik::devemu {

namespace {

std::optional<double> nonNegative(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<LinkProfile> LinkProfile::parse(std::string_view text) {
    using std::chrono::microseconds;
    if (text == "none") {
        return LinkProfile{};
    }
    // Measured rates of file copies over the cable, not the nominal signalling rates.
    if (text == "usb2") {
        return LinkProfile{35e6, microseconds(500)};
    }
    if (text == "usb3") {
        return LinkProfile{350e6, microseconds(150)};
    }
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        return std::nullopt;
    }
    const auto megabytes = nonNegative(text.substr(0, comma));
    const auto milliseconds = nonNegative(text.substr(comma + 1));
    if (!megabytes || !milliseconds) {
        return std::nullopt;
    }
    return LinkProfile{*megabytes * 1e6, microseconds(static_cast<long>(*milliseconds * 1000))};
}

void UsbLink::carry(std::size_t bytes) {
    if (profile_.bytesPerSecond <= 0) {
        return;
    }
    const auto duration = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) / profile_.bytesPerSecond));
    Clock::time_point done;
    {
        const std::lock_guard lock(mutex_);
        busyUntil_ = std::max(busyUntil_, Clock::now()) + duration;
        done = busyUntil_;
    }
    std::this_thread::sleep_until(done);
}

void UsbLink::turnaround() const {
    if (profile_.latency.count() > 0) {
        std::this_thread::sleep_for(profile_.latency);
    }
}

}  // namespace plovik::devemu
