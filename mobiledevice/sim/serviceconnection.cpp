#include "serviceconnection.h"

#include "simerror.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace plovik::sim {

std::shared_ptr<ServiceConnection> ServiceConnection::forFolder(
    std::shared_ptr<SimDevice> device, std::shared_ptr<const ConfinedFolder> folder) {
    return std::shared_ptr<ServiceConnection>(
        new ServiceConnection(std::move(device), std::move(folder)));
}

std::shared_ptr<ServiceConnection> ServiceConnection::forHandler(
    std::shared_ptr<SimDevice> device, std::unique_ptr<RequestHandler> handler,
    const SimControls& controls) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return nullptr;
    }
    UniqueFd clientEnd(ends[0]);
    UniqueFd serverEnd(ends[1]);
    std::shared_ptr<ServiceConnection> connection(
        new ServiceConnection(std::move(device), nullptr));
    connection->socket_ = std::move(clientEnd);
    ServiceConnection* raw = connection.get();
    connection->server_ =
        std::make_unique<ServiceServer>(std::move(serverEnd), std::move(handler), controls,
                                        [raw](std::shared_ptr<const ConfinedFolder> folder) {
                                            raw->setServedFolder(std::move(folder));
                                        });
    return connection;
}

ServiceConnection::ServiceConnection(std::shared_ptr<SimDevice> device,
                                     std::shared_ptr<const ConfinedFolder> folder)
    : device_(std::move(device)), folder_(std::move(folder)) {}

ServiceConnection::~ServiceConnection() {
    // The server thread may be inside setServedFolder: end it before the members go.
    server_.reset();
}

int64_t ServiceConnection::send(const void* bytes, std::size_t length) {
    if (!socket_.valid()) {
        return kSimNotSupported;
    }
    const auto* data = static_cast<const char*>(bytes);
    std::size_t done = 0;
    while (done < length) {
        // MSG_NOSIGNAL: a server that is gone is an error result, not SIGPIPE.
        const ssize_t count = ::send(socket_.get(), data + done, length - done, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return kSimIoError;
        }
        done += static_cast<std::size_t>(count);
    }
    return static_cast<int64_t>(done);
}

int64_t ServiceConnection::receive(void* buffer, std::size_t length) {
    if (!socket_.valid()) {
        return kSimNotSupported;
    }
    for (;;) {
        pollfd waiting{socket_.get(), POLLIN, 0};
        const int ready =
            ::poll(&waiting, 1, static_cast<int>(std::min<uint32_t>(receiveTimeout_, INT_MAX)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return kSimIoError;
        }
        if (ready == 0) {
            return kSimTimedOut;
        }
        const ssize_t count = ::recv(socket_.get(), buffer, length, 0);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        return count < 0 ? int64_t{kSimIoError} : static_cast<int64_t>(count);
    }
}

std::shared_ptr<const ConfinedFolder> ServiceConnection::servedFolder() const {
    std::lock_guard lock(mutex_);
    return folder_;
}

void ServiceConnection::setServedFolder(std::shared_ptr<const ConfinedFolder> folder) {
    std::lock_guard lock(mutex_);
    folder_ = std::move(folder);
}

void ServiceConnection::shutDown() {
    cut_.request_stop();
    if (socket_.valid()) {
        ::shutdown(socket_.get(), SHUT_RDWR);
    }
    if (server_) {
        server_->stop();
    }
}

}  // namespace plovik::sim
