#include "messagechannel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace plovik::sim {

namespace {

// Requests are small; a larger length is garbage, not a message.
constexpr uint32_t kMaxMessageLength = 16 * 1024 * 1024;

constexpr auto kPauseBetweenPieces = std::chrono::microseconds(300);

}  // namespace

bool MessageChannel::read(PlistPtr& message) {
    unsigned char prefix[4];
    if (!readExactly(reinterpret_cast<char*>(prefix), sizeof prefix)) {
        return false;
    }
    const uint32_t length = (uint32_t{prefix[0]} << 24) | (uint32_t{prefix[1]} << 16) |
                            (uint32_t{prefix[2]} << 8) | uint32_t{prefix[3]};
    if (length > kMaxMessageLength) {
        return false;
    }
    std::string body(length, '\0');
    if (!readExactly(body.data(), body.size())) {
        return false;
    }
    message = plistFromBytes(body.data(), body.size());
    return true;
}

bool MessageChannel::write(plist_t message, std::size_t pieceSize, std::stop_token stop) {
    const std::string body = plistToXml(message);
    const auto length = static_cast<uint32_t>(body.size());
    std::string bytes;
    bytes.reserve(body.size() + 4);
    bytes += static_cast<char>((length >> 24) & 0xFF);
    bytes += static_cast<char>((length >> 16) & 0xFF);
    bytes += static_cast<char>((length >> 8) & 0xFF);
    bytes += static_cast<char>(length & 0xFF);
    bytes += body;
    if (pieceSize == 0) {
        return writeAll(bytes.data(), bytes.size());
    }
    for (std::size_t offset = 0; offset < bytes.size(); offset += pieceSize) {
        if (offset > 0) {
            std::this_thread::sleep_for(kPauseBetweenPieces);
        }
        if (stop.stop_requested() ||
            !writeAll(bytes.data() + offset, std::min(pieceSize, bytes.size() - offset))) {
            return false;
        }
    }
    return true;
}

bool MessageChannel::readExactly(char* buffer, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t count = ::recv(socket_, buffer + done, length - done, 0);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

bool MessageChannel::writeAll(const char* bytes, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        // MSG_NOSIGNAL: a client that went away must not kill the process with SIGPIPE.
        const ssize_t count = ::send(socket_, bytes + done, length - done, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace plovik::sim
