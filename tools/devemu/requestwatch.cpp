#include "requestwatch.h"

#include <poll.h>

#include <thread>
#include <utility>

namespace plovik::devemu {

void RequestWatch::waitUntil(Clock::time_point deadline) {
    while (!arrived_) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return;
        }
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
        pollfd waiting{socket_, POLLIN, 0};
        const int ready = ppoll(&waiting, 1, &timeout, nullptr);
        if (ready < 0) {
            break;
        }
        if (ready > 0) {
            arrived_ = Clock::now();
        }
    }
    std::this_thread::sleep_until(deadline);
}

std::optional<RequestWatch::Arrival> RequestWatch::nextRequest(int timeoutMs) {
    if (const auto noted = std::exchange(arrived_, std::nullopt)) {
        return Arrival{*noted, true};
    }
    pollfd waiting{socket_, POLLIN, 0};
    if (poll(&waiting, 1, timeoutMs) != 1) {
        return std::nullopt;
    }
    return Arrival{Clock::now(), false};
}

}  // namespace plovik::devemu
