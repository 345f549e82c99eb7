#include "serviceconnection.h"

#include "sigpipeguard.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include <algorithm>
#include <cstdlib>

namespace plovik::usbmux {

namespace {

// libimobiledevice counts in 32 bits.
constexpr size_t kLargestTransfer = size_t{1} << 30;

constexpr unsigned long kShortestReceiveTimeoutMs = 100;
constexpr unsigned long kLongestReceiveTimeoutMs = 600000;

}  // namespace

uint32_t ServiceConnection::receiveTimeoutOverrideMs() {
    static const uint32_t timeout = [] {
        const char* text = std::getenv("PLOVIK_RECEIVE_TIMEOUT_MS");
        if (text == nullptr || *text == '\0') {
            return uint32_t{0};
        }
        char* end = nullptr;
        const unsigned long value = std::strtoul(text, &end, 10);
        if (*end != '\0' || value < kShortestReceiveTimeoutMs || value > kLongestReceiveTimeoutMs) {
            return uint32_t{0};
        }
        return static_cast<uint32_t>(value);
    }();
    return timeout;
}

void ServiceConnection::setReceiveTimeout(uint32_t milliseconds) {
    const uint32_t override = receiveTimeoutOverrideMs();
    receiveTimeoutMs_ = override != 0 ? override : milliseconds;
}

std::shared_ptr<ServiceConnection> ServiceConnection::open(
    idevice_t device, const lockdownd_service_descriptor& service, int* error) {
    const SigpipeGuard sigpipeGuard;
    idevice_connection_t connection = nullptr;
    idevice_error_t result = idevice_connect(device, service.port, &connection);
    if (result == IDEVICE_E_SUCCESS && service.ssl_enabled != 0) {
        result = idevice_connection_enable_ssl(connection);
    }
    int socket = -1;
    if (result == IDEVICE_E_SUCCESS) {
        result = idevice_connection_get_fd(connection, &socket);
    }
    if (result != IDEVICE_E_SUCCESS) {
        if (connection != nullptr) {
            idevice_disconnect(connection);
        }
        *error = result;
        return nullptr;
    }
    *error = IDEVICE_E_SUCCESS;
    return std::shared_ptr<ServiceConnection>(
        new ServiceConnection(connection, socket, service.ssl_enabled != 0));
}

ServiceConnection::ServiceConnection(idevice_connection_t connection, int socket, bool tls)
    : connection_(connection), socket_(socket), tls_(tls) {}

ServiceConnection::~ServiceConnection() {
    // Closing a TLS stream writes its close notification, possibly to a device that has gone.
    const SigpipeGuard sigpipeGuard;
    idevice_disconnect(connection_);
}

int64_t ServiceConnection::sendPlain(const char* bytes, size_t length) {
    size_t sentTotal = 0;
    while (sentTotal < length) {
        if (invalidated_) {
            return IDEVICE_E_NO_DEVICE;
        }
        pollfd writable{socket_, POLLOUT, 0};
        const int ready = poll(&writable, 1, static_cast<int>(receiveTimeoutMs_.load()));
        if (ready == 0) {
            return IDEVICE_E_TIMEOUT;
        }
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return IDEVICE_E_UNKNOWN_ERROR;
        }
        const ssize_t sent =
            ::send(socket_, bytes + sentTotal, length - sentTotal, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            return IDEVICE_E_UNKNOWN_ERROR;
        }
        sentTotal += static_cast<size_t>(sent);
    }
    return static_cast<int64_t>(sentTotal);
}

int64_t ServiceConnection::send(const void* bytes, size_t length) {
    const SigpipeGuard sigpipeGuard;
    const std::lock_guard lock(ioMutex_);
    if (!tls_) {
        return sendPlain(static_cast<const char*>(bytes), length);
    }
    const auto* position = static_cast<const char*>(bytes);
    size_t sentTotal = 0;
    while (sentTotal < length) {
        if (invalidated_) {
            return IDEVICE_E_NO_DEVICE;
        }
        const auto chunk = static_cast<uint32_t>(std::min(length - sentTotal, kLargestTransfer));
        uint32_t sent = 0;
        const idevice_error_t result =
            idevice_connection_send(connection_, position + sentTotal, chunk, &sent);
        if (result != IDEVICE_E_SUCCESS) {
            return result;
        }
        if (sent == 0) {
            return IDEVICE_E_UNKNOWN_ERROR;
        }
        sentTotal += sent;
    }
    return static_cast<int64_t>(sentTotal);
}

int64_t ServiceConnection::receive(void* buffer, size_t length) {
    const std::lock_guard lock(ioMutex_);
    if (invalidated_) {
        return IDEVICE_E_NO_DEVICE;
    }
    if (length == 0) {
        return 0;
    }
    const auto chunk = static_cast<uint32_t>(std::min(length, kLargestTransfer));
    uint32_t received = 0;
    const idevice_error_t result = idevice_connection_receive_timeout(
        connection_, static_cast<char*>(buffer), chunk, &received, receiveTimeoutMs_);
    if (invalidated_) {
        return IDEVICE_E_NO_DEVICE;
    }
    // A TLS read that ends early still hands over what it decrypted; the next call reports why.
    if (received > 0) {
        return received;
    }
    if (result == IDEVICE_E_SUCCESS || result == IDEVICE_E_NOT_ENOUGH_DATA) {
        return 0;  // libimobiledevice's word for a stream the peer closed
    }
    return result;
}

void ServiceConnection::invalidate() {
    invalidated_ = true;
    shutdown(socket_, SHUT_RDWR);
}

}  // namespace plovik::usbmux
