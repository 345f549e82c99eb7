// The requests of one AFC connection in the order they came, read off the socket by a thread of
// their own so that each is stamped with when it began to arrive, however far the device is
// behind in answering: a host may send many requests before it reads a reply. The queue holds a
// bounded number of bytes, as a device's buffers do; once it is full nothing more is read, and
// the host's sends wait.
#ifndef PLOVIK_DEVEMU_AFCREQUESTQUEUE_H
#define PLOVIK_DEVEMU_AFCREQUESTQUEUE_H

#include "afcpacket.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace plovik::devemu {

class AfcRequestQueue {
public:
    using Clock = std::chrono::steady_clock;

    struct Arrival {
        AfcRequest request;
        Clock::time_point at;
    };

    explicit AfcRequestQueue(int socket);
    // Stops reading (the socket is shut for reading) and waits for the reader.
    ~AfcRequestQueue();
    AfcRequestQueue(const AfcRequestQueue&) = delete;
    AfcRequestQueue& operator=(const AfcRequestQueue&) = delete;

    // The next request, waiting up to timeout; nothing once the host closed the stream, sent a
    // packet no device would take, or sent nothing for that long.
    std::optional<Arrival> next(std::chrono::milliseconds timeout);
    // Whether a request is already waiting behind the ones taken.
    bool hasWaiting() const;
    // Reads and drops whatever the host still sends, until it closes the stream.
    void discardUntilClosed();
    // Reads nothing more, so that the host's sends wait once the socket's buffers are full,
    // until the host closes the stream or the socket is shut down.
    void stopReadingUntilClosed();

private:
    void readRequests();
    // Waits for room, as a device's full buffers make the host wait; false once stopping.
    bool enqueue(Arrival arrival);
    std::size_t sizeOf(const AfcRequest& request) const;

    const int socket_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Arrival> waiting_;
    std::size_t waitingBytes_ = 0;
    bool ended_ = false;
    bool discarding_ = false;
    bool deaf_ = false;
    bool stopping_ = false;
    std::thread reader_;
};

}  // namespace plovik::devemu

#endif
