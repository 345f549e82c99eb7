// Waiting on one service connection for the deadlines of its link while noting when the host's
// next request begins to arrive: a request sent ahead of the reply before it is timed from when
// it came, not from when the device got round to reading it.
#ifndef PLOVIK_DEVEMU_REQUESTWATCH_H
#define PLOVIK_DEVEMU_REQUESTWATCH_H

#include <chrono>
#include <optional>

namespace plovik::devemu {

class RequestWatch {
public:
    using Clock = std::chrono::steady_clock;

    struct Arrival {
        Clock::time_point at;
        // It came while the device was still busy with the request before: the host sent it
        // without waiting for that one's reply, so it cost no round trip of its own.
        bool sentAhead = false;
    };

    explicit RequestWatch(int socket) : socket_(socket) {}

    // Returns at the deadline.
    void waitUntil(Clock::time_point deadline);
    // Waits up to timeoutMs for the next request and forgets the note: when it began to arrive,
    // or nothing when none came or the socket failed. A closed stream counts as arrived; reading
    // it tells.
    std::optional<Arrival> nextRequest(int timeoutMs);

private:
    const int socket_;
    std::optional<Clock::time_point> arrived_;
};

}  // namespace plovik::devemu

#endif
