#include "hostboundbuffer.h"

#include "socketio.h"

#include <thread>

namespace plovik::devemu {

bool HostBoundBuffer::waitUntil(Clock::time_point time) {
    const Clock::time_point now = Clock::now();
    if ((time > now || now - firstGatheredAt_ >= kHoldLimit) && !flush()) {
        return false;
    }
    std::this_thread::sleep_until(time);
    return true;
}

bool HostBoundBuffer::add(const char* bytes, std::size_t length) {
    if (gathered_.size() + length > packetBytes_ && !flush()) {
        return false;
    }
    if (length >= packetBytes_) {
        return write(bytes, length);
    }
    if (gathered_.empty()) {
        firstGatheredAt_ = Clock::now();
    }
    gathered_.append(bytes, length);
    return true;
}

bool HostBoundBuffer::flush() {
    if (gathered_.empty()) {
        return true;
    }
    const bool written = write(gathered_.data(), gathered_.size());
    gathered_.clear();
    return written;
}

bool HostBoundBuffer::write(const char* bytes, std::size_t length) {
    lastWritten_ = Clock::now();
    return writeAll(socket_, bytes, length);
}

bool HostBoundBuffer::allWrittenBefore(Clock::time_point time) const {
    return gathered_.empty() && lastWritten_ <= time;
}

}  // namespace plovik::devemu
