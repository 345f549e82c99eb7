#include "muxconnection.h"

#include "muxframing.h"
#include "plistframing.h"
#include "socketio.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace devemutest {

using namespace plovik::devemu;

MuxConnection::MuxConnection(const std::string& socketPath)
    : socket_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
}

MuxConnection::~MuxConnection() {
    close(socket_);
}

Plist MuxConnection::request(const char* type, uint64_t deviceId, uint16_t port) {
    const Plist message(plist_new_dict());
    plist_dict_set_item(message.get(), "MessageType", plist_new_string(type));
    if (deviceId != 0) {
        plist_dict_set_item(message.get(), "DeviceID", plist_new_uint(deviceId));
        // In network order, read as a plain number, as the client sends it.
        plist_dict_set_item(message.get(), "PortNumber", plist_new_uint(htons(port)));
    }
    return request(message.get());
}

Plist MuxConnection::request(plist_t message) {
    sendMuxMessage(socket_, 7, message);
    MuxRequest reply;
    return receiveMuxRequest(socket_, reply) ? std::move(reply.body) : nullptr;
}

uint64_t MuxConnection::connectTo(uint64_t deviceId, uint16_t port) {
    return uintItem(request("Connect", deviceId, port).get(), "Number");
}

Plist MuxConnection::lockdown(plist_t request) {
    const std::string packet = framedPlist(request);
    return writeAll(socket_, packet.data(), packet.size()) ? receiveLockdown() : nullptr;
}

Plist MuxConnection::receiveLockdown() {
    uint32_t length = 0;
    if (!readExactly(socket_, &length, sizeof length, 5000) ||
        ntohl(length) > kLargestFramedMessage) {
        return nullptr;
    }
    std::string message(ntohl(length), '\0');
    return readExactly(socket_, message.data(), message.size(), 5000) ? fromBytes(message)
                                                                      : nullptr;
}

AfcReply MuxConnection::afc(uint64_t operation, const std::string& arguments, uint64_t packetNumber,
                            uint64_t* echoedNumber, uint64_t* thisLength) {
    // A request without payload is laid out as a STATUS-like reply: both lengths equal.
    AfcReply reply{operation, arguments};
    std::string packet = encodeAfcReply(packetNumber, reply);
    EXPECT_TRUE(writeAll(socket_, packet.data(), packet.size()));
    char header[40];
    if (!readExactly(socket_, header, sizeof header, 5000)) {
        return {0, {}};
    }
    uint64_t fields[4];
    std::memcpy(fields, header + 8, sizeof fields);
    reply.body.assign(fields[0] - 40, '\0');
    if (!readExactly(socket_, reply.body.data(), reply.body.size(), 5000)) {
        return {0, {}};
    }
    reply.operation = fields[3];
    if (echoedNumber != nullptr) {
        *echoedNumber = fields[2];
    }
    if (thisLength != nullptr) {
        *thisLength = fields[1];
    }
    return reply;
}

Plist lockdownRequest(const char* name, const char* key, plist_t value) {
    Plist request(plist_new_dict());
    plist_dict_set_item(request.get(), "Request", plist_new_string(name));
    if (key != nullptr) {
        plist_dict_set_item(request.get(), key, value);
    }
    return request;
}

}  // namespace devemutest
