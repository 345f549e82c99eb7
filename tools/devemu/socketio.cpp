#include "socketio.h"

#include <poll.h>
#include <sys/socket.h>

namespace plovik::devemu {

bool readExactly(int socket, void* buffer, std::size_t length, int timeoutMs) {
    auto* position = static_cast<char*>(buffer);
    while (length > 0) {
        pollfd waiting{socket, POLLIN, 0};
        if (poll(&waiting, 1, timeoutMs) != 1) {
            return false;
        }
        const ssize_t received = recv(socket, position, length, 0);
        if (received <= 0) {
            return false;
        }
        position += received;
        length -= static_cast<std::size_t>(received);
    }
    return true;
}

bool writeAll(int socket, const void* bytes, std::size_t length) {
    const auto* position = static_cast<const char*>(bytes);
    while (length > 0) {
        const ssize_t sent = send(socket, position, length, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        position += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

}  // namespace plovik::devemu
