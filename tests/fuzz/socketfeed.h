#pragma once

#include <cstdint>
#include <span>
#include <thread>

/**
 * One end of a connected pair of local stream sockets whose other end sends the given bytes
 * from a thread of its own and then closes, so that a reader sees them as a peer's stream: in
 * pieces, then the end.
 */
class SocketFeed {
public:
    explicit SocketFeed(std::span<const uint8_t> bytes);
    ~SocketFeed();
    SocketFeed(const SocketFeed&) = delete;
    SocketFeed& operator=(const SocketFeed&) = delete;

    int socket() const { return reader_; }

private:
    int reader_ = -1;
    int writer_ = -1;
    std::thread sender_;
};
