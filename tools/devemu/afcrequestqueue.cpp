#include "afcrequestqueue.h"

#include <poll.h>
#include <sys/socket.h>

#include <string>
#include <string_view>
#include <vector>

namespace plovik::devemu {

namespace {

// What a device takes in before it stops reading: a few hundred small requests, or one large
// write and the start of the next.
constexpr std::size_t kBufferedBytes = 256 << 10;
constexpr std::size_t kAfcHeaderSize = 40;
constexpr std::size_t kReceiveChunk = 64 << 10;
// How often a reader waiting for the host looks whether the connection is ending.
constexpr int kStopCheckMs = 100;

}  // namespace

AfcRequestQueue::AfcRequestQueue(int socket)
    : socket_(socket), reader_([this] { readRequests(); }) {}

AfcRequestQueue::~AfcRequestQueue() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    // Wakes a reader blocked in the middle of a request.
    shutdown(socket_, SHUT_RD);
    reader_.join();
}

std::size_t AfcRequestQueue::sizeOf(const AfcRequest& request) const {
    return kAfcHeaderSize + request.arguments.size() + request.payload.size();
}

void AfcRequestQueue::readRequests() {
    std::string received;
    // When the first byte of the request at the start of received came.
    Clock::time_point startedAt{};
    std::vector<char> chunk(kReceiveChunk);
    for (bool open = true; open;) {
        bool deaf = false;
        {
            const std::lock_guard lock(mutex_);
            deaf = deaf_;
        }
        // A deaf device only notices the host hanging up.
        pollfd waiting{socket_, static_cast<short>(deaf ? POLLRDHUP : POLLIN), 0};
        const int ready = poll(&waiting, 1, kStopCheckMs);
        const Clock::time_point at = Clock::now();
        {
            const std::lock_guard lock(mutex_);
            if (stopping_) {
                break;
            }
        }
        if (ready == 0) {
            continue;
        }
        if (deaf) {
            if ((waiting.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
                break;
            }
            continue;
        }
        const ssize_t count = ready < 0 ? -1 : recv(socket_, chunk.data(), chunk.size(), 0);
        if (count <= 0) {
            break;
        }
        if (received.empty()) {
            startedAt = at;
        }
        received.append(chunk.data(), static_cast<std::size_t>(count));
        std::size_t start = 0;
        for (;;) {
            Arrival arrival{AfcRequest(), startedAt};
            std::size_t used = 0;
            const AfcParse parsed =
                parseAfcRequest(std::string_view(received).substr(start), arrival.request, used);
            if (parsed == AfcParse::Invalid) {
                open = false;
            }
            if (parsed != AfcParse::Complete) {
                break;
            }
            start += used;
            // What follows in this chunk came with it.
            startedAt = at;
            if (!enqueue(std::move(arrival))) {
                open = false;
                break;
            }
        }
        received.erase(0, start);
    }
    const std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
}

bool AfcRequestQueue::enqueue(Arrival arrival) {
    std::unique_lock lock(mutex_);
    const std::size_t bytes = sizeOf(arrival.request);
    changed_.wait(lock, [&] {
        return stopping_ || discarding_ || deaf_ || waiting_.empty() ||
               waitingBytes_ + bytes <= kBufferedBytes;
    });
    if (stopping_) {
        return false;
    }
    if (!discarding_ && !deaf_) {
        waitingBytes_ += bytes;
        waiting_.push_back(std::move(arrival));
        changed_.notify_all();
    }
    return true;
}

std::optional<AfcRequestQueue::Arrival> AfcRequestQueue::next(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, timeout, [this] { return ended_ || !waiting_.empty(); }) ||
        waiting_.empty()) {
        return std::nullopt;
    }
    Arrival arrival = std::move(waiting_.front());
    waiting_.pop_front();
    waitingBytes_ -= sizeOf(arrival.request);
    changed_.notify_all();
    return arrival;
}

bool AfcRequestQueue::hasWaiting() const {
    const std::lock_guard lock(mutex_);
    return !waiting_.empty();
}

void AfcRequestQueue::discardUntilClosed() {
    std::unique_lock lock(mutex_);
    discarding_ = true;
    waiting_.clear();
    waitingBytes_ = 0;
    changed_.notify_all();
    changed_.wait(lock, [this] { return ended_; });
}

void AfcRequestQueue::stopReadingUntilClosed() {
    std::unique_lock lock(mutex_);
    deaf_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return ended_; });
}

}  // namespace plovik::devemu
