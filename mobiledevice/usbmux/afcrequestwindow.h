// The requests of one pipelined AFC stream that are on the way: each by its packet number with
// the caller's index for it, bounded by the bytes they may cost in flight (their own and those of
// the replies they are expected to bring). A device answers in order, so the reply to take is
// the oldest request's; a reply that matches a younger one is out of order, and one that matches
// none belongs to no request of this stream.
#ifndef PLOVIK_USBMUX_AFCREQUESTWINDOW_H
#define PLOVIK_USBMUX_AFCREQUESTWINDOW_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace plovik::usbmux {

class AfcRequestWindow {
public:
    struct Request {
        uint64_t packetNumber = 0;
        size_t index = 0;
        size_t cost = 0;
        // What the caller sent it for, when a stream sends several kinds of request.
        uint8_t kind = 0;
        // Sent while others were still on the way.
        bool sentAhead = false;
    };
    struct Answered {
        Request request;
        // It was not the oldest on the way.
        bool outOfOrder = false;
    };

    explicit AfcRequestWindow(size_t bytesInFlight) : bytesInFlight_(bytesInFlight) {}

    // Whether a request of cost fits beside those on the way; one always fits into an empty window.
    bool fits(size_t cost) const { return requests_.empty() || used_ + cost <= bytesInFlight_; }
    // Half empty or less: worth one send of many requests rather than one for each reply taken.
    bool wantsMore() const { return used_ <= bytesInFlight_ / 2; }
    void add(uint64_t packetNumber, size_t index, size_t cost, uint8_t kind = 0);
    // Takes the request the reply with packetNumber answers; nothing when none on the way has it.
    std::optional<Answered> take(uint64_t packetNumber);
    bool empty() const { return requests_.empty(); }
    size_t size() const { return requests_.size(); }

private:
    const size_t bytesInFlight_;
    size_t used_ = 0;
    std::deque<Request> requests_;
};

}  // namespace plovik::usbmux

#endif
