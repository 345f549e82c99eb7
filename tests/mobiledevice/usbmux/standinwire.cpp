#include "standinwire.h"

#include <poll.h>
#include <sys/socket.h>

#include <cstdlib>

namespace standin {

bool readExactly(int socket, void* buffer, size_t length) {
    auto* position = static_cast<char*>(buffer);
    while (length > 0) {
        pollfd waiting{socket, POLLIN, 0};
        // Bounded so a test that went wrong ends instead of hanging.
        if (poll(&waiting, 1, 10000) != 1) {
            return false;
        }
        const ssize_t received = recv(socket, position, length, 0);
        if (received <= 0) {
            return false;
        }
        position += received;
        length -= static_cast<size_t>(received);
    }
    return true;
}

bool writeAll(int socket, const void* bytes, size_t length) {
    const auto* position = static_cast<const char*>(bytes);
    while (length > 0) {
        const ssize_t sent = send(socket, position, length, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        position += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

std::string toXml(plist_t node) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    std::string text(xml, length);
    std::free(xml);
    return text;
}

Plist fromXml(const std::string& xml) {
    plist_t node = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &node);
    return Plist(node);
}

std::string stringItem(plist_t dictionary, const char* key) {
    const plist_t item = plist_dict_get_item(dictionary, key);
    uint64_t length = 0;
    const char* text =
        plist_get_node_type(item) == PLIST_STRING ? plist_get_string_ptr(item, &length) : nullptr;
    return text != nullptr ? std::string(text, length) : std::string();
}

uint64_t uintItem(plist_t dictionary, const char* key) {
    const plist_t item = plist_dict_get_item(dictionary, key);
    uint64_t value = 0;
    if (plist_get_node_type(item) == PLIST_UINT) {
        plist_get_uint_val(item, &value);
    }
    return value;
}

}  // namespace standin
