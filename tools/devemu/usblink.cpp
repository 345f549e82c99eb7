#include "usblink.h"

#include <algorithm>
#include <charconv>
#include <cmath>

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
    const std::size_t secondComma = text.find(',', comma + 1);
    const auto megabytes = nonNegative(text.substr(0, comma));
    const auto milliseconds = nonNegative(text.substr(comma + 1, secondComma - comma - 1));
    if (!megabytes || !milliseconds) {
        return std::nullopt;
    }
    LinkProfile profile{*megabytes * 1e6, microseconds(static_cast<long>(*milliseconds * 1000))};
    if (secondComma != std::string_view::npos) {
        const auto packet = nonNegative(text.substr(secondComma + 1));
        if (!packet || *packet < 1 || *packet > 16 * 1024 * 1024 ||
            *packet != std::floor(*packet)) {
            return std::nullopt;
        }
        profile.packetBytes = static_cast<std::size_t>(*packet);
    }
    return profile;
}

UsbLink::Booking UsbLink::book(Clock::time_point& direction, Clock::time_point& otherDirection,
                               std::size_t bytes, Clock::time_point notBefore) {
    if (profile_.bytesPerSecond <= 0) {
        return {notBefore, notBefore};
    }
    const auto duration = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) / profile_.bytesPerSecond));
    const std::lock_guard lock(mutex_);
    const Clock::time_point start = std::max(direction, notBefore);
    direction = start + duration;
    if (otherDirection > start) {
        otherDirection += duration;
    }
    return {start, direction};
}

UsbLink::Clock::time_point UsbLink::receive(std::size_t bytes, Clock::time_point arrived) {
    return book(toDeviceUntil_, toHostUntil_, bytes, arrived).end;
}

bool UsbLink::transmit(HostBoundBuffer& out, const char* bytes, std::size_t length,
                       Clock::time_point notBefore) {
    // Slices whose time came while the emulator prepared the reply go out at once: the caller's
    // notBefore already counts the device's work, which the emulator's own speed must not add to.
    const Booking booking = book(toHostUntil_, toDeviceUntil_, length, notBefore);
    if (!out.waitUntil(booking.start)) {
        return false;
    }
    const auto span = booking.end - booking.start;
    const std::size_t sliceSize = span > Clock::duration::zero() ? profile_.packetBytes : length;
    for (std::size_t done = 0; done < length;) {
        const std::size_t slice = std::min(sliceSize, length - done);
        // Each slice is handed over once it has crossed, so the last byte lands at the booked end.
        const double crossed = static_cast<double>(done + slice) / static_cast<double>(length);
        if (!out.waitUntil(booking.start +
                           std::chrono::duration_cast<Clock::duration>(span * crossed)) ||
            !out.add(bytes + done, slice)) {
            return false;
        }
        done += slice;
    }
    return true;
}

}  // namespace plovik::devemu
