#include "bufferedreceiver.h"

#include "results.h"
#include "serviceconnection.h"

#include <algorithm>

namespace plovik::usbmux {

namespace {

// Pieces smaller than this are served from the inbox, which one receive fills with whatever
// has arrived.
constexpr size_t kInboxSize = 64 << 10;

}  // namespace

int BufferedReceiver::receiveExactly(void* buffer, size_t length) {
    auto* position = static_cast<uint8_t*>(buffer);
    size_t done = std::min(length, inbox_.size() - held_);
    std::copy_n(inbox_.begin() + static_cast<std::ptrdiff_t>(held_), done, position);
    held_ += done;
    while (done < length) {
        const bool direct = length - done >= kInboxSize;
        if (!direct) {
            inbox_.resize(kInboxSize);
            held_ = 0;
        }
        uint8_t* target = direct ? position + done : inbox_.data();
        const int64_t received = service_->receive(target, direct ? length - done : kInboxSize);
        if (received <= 0) {
            inbox_.clear();
            held_ = 0;
            return received == 0 ? kAfcNotEnoughData : kAfcConnectionFailed;
        }
        if (direct) {
            done += static_cast<size_t>(received);
            continue;
        }
        inbox_.resize(static_cast<size_t>(received));
        const size_t taken = std::min(length - done, inbox_.size());
        std::copy_n(inbox_.begin(), taken, position + done);
        held_ = taken;
        done += taken;
    }
    return kSuccess;
}

int BufferedReceiver::discard(uint64_t length) {
    uint8_t sink[4096];
    while (length > 0) {
        const auto chunk = static_cast<size_t>(std::min<uint64_t>(length, sizeof sink));
        if (const int result = receiveExactly(sink, chunk); result != kSuccess) {
            return result;
        }
        length -= chunk;
    }
    return kSuccess;
}

}  // namespace plovik::usbmux
