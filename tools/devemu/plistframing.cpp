#include "plistframing.h"

#include "socketio.h"

#include <arpa/inet.h>

namespace plovik::devemu {

bool receiveFramed(int socket, std::string& message) {
    uint32_t length = 0;
    if (!readExactly(socket, &length, sizeof length) || ntohl(length) > kLargestFramedMessage) {
        return false;
    }
    message.assign(ntohl(length), '\0');
    return readExactly(socket, message.data(), message.size());
}

bool receiveFramedPlist(int socket, Plist& request) {
    std::string message;
    if (!receiveFramed(socket, message)) {
        return false;
    }
    request = fromBytes(message);
    return true;
}

std::string framed(const std::string& message) {
    const uint32_t length = htonl(static_cast<uint32_t>(message.size()));
    std::string packet(reinterpret_cast<const char*>(&length), sizeof length);
    packet += message;
    return packet;
}

std::string framedPlist(plist_t message) {
    return framed(toXml(message));
}

}  // namespace plovik::devemu
