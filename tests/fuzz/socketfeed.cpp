#include "socketfeed.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "fuzztargets.h"

SocketFeed::SocketFeed(std::span<const uint8_t> bytes) {
    int pair[2];
    fuzzCheck(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0, "a socket pair");
    reader_ = pair[0];
    writer_ = pair[1];
    sender_ = std::thread([this, bytes] {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t count =
                ::send(writer_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            sent += static_cast<size_t>(count);
        }
        ::shutdown(writer_, SHUT_WR);
    });
}

SocketFeed::~SocketFeed() {
    // The reader may stop early: closing its end ends a send still waiting for room.
    ::shutdown(reader_, SHUT_RDWR);
    sender_.join();
    ::close(reader_);
    ::close(writer_);
}
