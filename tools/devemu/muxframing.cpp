#include "muxframing.h"

#include "socketio.h"

#include <string>

namespace plovik::devemu {

namespace {

constexpr uint32_t kPlistMessage = 8;
// Far above any request a client sends: a larger length is a stream out of step.
constexpr uint32_t kLargestRequest = 1 << 20;

struct MuxHeader {
    uint32_t length;
    uint32_t version;
    uint32_t message;
    uint32_t tag;
};

}  // namespace

bool receiveMuxRequest(int socket, MuxRequest& request) {
    MuxHeader header{};
    if (!readExactly(socket, &header, sizeof header) || header.length < sizeof header ||
        header.length > kLargestRequest) {
        return false;
    }
    std::string body(header.length - sizeof header, '\0');
    if (!readExactly(socket, body.data(), body.size())) {
        return false;
    }
    request.tag = header.tag;
    request.body = fromBytes(body);
    return request.body != nullptr;
}

bool sendMuxMessage(int socket, uint32_t tag, plist_t message) {
    const std::string xml = toXml(message);
    const MuxHeader header{static_cast<uint32_t>(sizeof(MuxHeader) + xml.size()), 1, kPlistMessage,
                           tag};
    std::string packet(reinterpret_cast<const char*>(&header), sizeof header);
    packet += xml;
    return writeAll(socket, packet.data(), packet.size());
}

bool sendMuxResult(int socket, uint32_t tag, uint64_t number) {
    const Plist result(plist_new_dict());
    plist_dict_set_item(result.get(), "MessageType", plist_new_string("Result"));
    plist_dict_set_item(result.get(), "Number", plist_new_uint(number));
    return sendMuxMessage(socket, tag, result.get());
}

}  // namespace plovik::devemu
