// The bytes a device has for the host on one socket, written as they come due. Slices that come
// due back to back, while the device answers requests already waiting, go out in one write, as a
// device's replies share the cable's packets: a host reading a stream of small replies takes
// many at once. Nothing gathered waits past the device's next pause, a packet's worth of bytes or
// kHoldLimit.
#ifndef PLOVIK_DEVEMU_HOSTBOUNDBUFFER_H
#define PLOVIK_DEVEMU_HOSTBOUNDBUFFER_H

#include <chrono>
#include <cstddef>
#include <string>

namespace plovik::devemu {

class HostBoundBuffer {
public:
    using Clock = std::chrono::steady_clock;

    // How long a slice that came due may wait for others to join it.
    static constexpr std::chrono::microseconds kHoldLimit{100};

    HostBoundBuffer(int socket, std::size_t packetBytes)
        : socket_(socket), packetBytes_(packetBytes) {}

    int socket() const { return socket_; }
    // Sleeps until time, writing what is gathered first when there is a wait (or it has waited
    // long enough); false when the peer is gone.
    bool waitUntil(Clock::time_point time);
    // Takes bytes that are due now; a packet's worth is written at once.
    bool add(const char* bytes, std::size_t length);
    // Writes what is gathered; false when the peer is gone.
    bool flush();
    // Whether everything taken so far had begun to be written before time: no host can have
    // seen a reply before then.
    bool allWrittenBefore(Clock::time_point time) const;

private:
    // Writes bytes to the socket now, noting when.
    bool write(const char* bytes, std::size_t length);

    const int socket_;
    const std::size_t packetBytes_;
    std::string gathered_;
    Clock::time_point firstGatheredAt_{};
    Clock::time_point lastWritten_{};
};

}  // namespace plovik::devemu

#endif
