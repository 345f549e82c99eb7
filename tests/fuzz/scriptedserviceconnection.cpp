// ServiceConnection with its stream replaced by the bytes of scriptServiceStream: the link seam
// through which a fuzz target feeds libplovik-usbmux's AFC code a device's replies.
#include "scriptedserviceconnection.h"

#include <algorithm>
#include <cstring>

#include "serviceconnection.h"

namespace {

std::span<const uint8_t> scripted;
size_t pieceSize = 1;

}  // namespace

void scriptServiceStream(std::span<const uint8_t> bytes, size_t piece) {
    scripted = bytes;
    pieceSize = std::max<size_t>(piece, 1);
}

namespace plovik::usbmux {

uint32_t ServiceConnection::receiveTimeoutOverrideMs() {
    return 0;
}

std::shared_ptr<ServiceConnection> ServiceConnection::open(idevice_t,
                                                           const lockdownd_service_descriptor&,
                                                           int*) {
    return std::shared_ptr<ServiceConnection>(new ServiceConnection(nullptr, -1, false));
}

ServiceConnection::ServiceConnection(idevice_connection_t connection, int socket, bool tls)
    : connection_(connection), socket_(socket), tls_(tls) {}

ServiceConnection::~ServiceConnection() = default;

int64_t ServiceConnection::sendPlain(const char*, size_t length) {
    return static_cast<int64_t>(length);
}

int64_t ServiceConnection::send(const void* bytes, size_t length) {
    return invalidated_ ? -1 : sendPlain(static_cast<const char*>(bytes), length);
}

int64_t ServiceConnection::receive(void* buffer, size_t length) {
    if (invalidated_)
        return -1;
    const size_t count = std::min({length, pieceSize, scripted.size()});
    std::memcpy(buffer, scripted.data(), count);
    scripted = scripted.subspan(count);
    return static_cast<int64_t>(count);
}

void ServiceConnection::setReceiveTimeout(uint32_t milliseconds) {
    receiveTimeoutMs_ = milliseconds;
}

void ServiceConnection::invalidate() {
    invalidated_ = true;
}

}  // namespace plovik::usbmux
