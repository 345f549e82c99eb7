#include "muxdaemon.h"

#include "deviceports.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace plovik::devemu {

namespace {

constexpr const char* kBuid = "00000000-0000-0000-0000-0000DE7E4D00";

Plist attachedMessage(const EmulatedDevice& device) {
    const plist_t properties = plist_new_dict();
    plist_dict_set_item(properties, "ConnectionType", plist_new_string("USB"));
    plist_dict_set_item(properties, "DeviceID", plist_new_uint(device.id()));
    plist_dict_set_item(properties, "ProductID", plist_new_uint(0x12a8));
    plist_dict_set_item(properties, "SerialNumber", plist_new_string(device.udid().c_str()));
    plist_dict_set_item(properties, "ConnectionSpeed", plist_new_uint(480000000));
    plist_dict_set_item(properties, "LocationID", plist_new_uint(device.id()));
    Plist message(plist_new_dict());
    plist_dict_set_item(message.get(), "MessageType", plist_new_string("Attached"));
    plist_dict_set_item(message.get(), "DeviceID", plist_new_uint(device.id()));
    plist_dict_set_item(message.get(), "Properties", properties);
    return message;
}

Plist dictionaryWith(const char* key, plist_t value) {
    Plist dictionary(plist_new_dict());
    plist_dict_set_item(dictionary.get(), key, value);
    return dictionary;
}

bool bindUnix(int socket, const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    unlink(path.c_str());
    return bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

MuxDaemon::~MuxDaemon() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const Connection& connection : connections_) {
            shutdown(connection.socket, SHUT_RDWR);
        }
    }
    if (listener_ >= 0) {
        shutdown(listener_, SHUT_RDWR);
        if (acceptThread_.joinable()) {
            acceptThread_.join();
        }
        close(listener_);
        unlink(socketPath_.c_str());
    }
    for (Connection& connection : connections_) {
        connection.thread.join();
        close(connection.socket);
    }
}

void MuxDaemon::attach(std::shared_ptr<EmulatedDevice> device) {
    device->onDetached([this](uint32_t id) { deviceDetached(id); });
    const std::lock_guard lock(mutex_);
    const Plist attached = attachedMessage(*device);
    for (const int socket : listeners_) {
        sendMuxMessage(socket, 0, attached.get());
    }
    devices_.push_back(std::move(device));
}

void MuxDaemon::detachAll() {
    std::vector<std::shared_ptr<EmulatedDevice>> attached;
    {
        const std::lock_guard lock(mutex_);
        attached = devices_;
    }
    // Outside the lock: detaching reports back to deviceDetached.
    for (const auto& device : attached) {
        device->detach();
    }
}

bool MuxDaemon::start() {
    listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Bound under another name and renamed once listening, so that whoever waits for the path
    // to appear can connect at once.
    const std::string pending = socketPath_ + ".pending";
    if (listener_ < 0 || !bindUnix(listener_, pending) || ::listen(listener_, 64) != 0 ||
        rename(pending.c_str(), socketPath_.c_str()) != 0) {
        return false;
    }
    acceptThread_ = std::thread([this] { acceptConnections(); });
    return true;
}

void MuxDaemon::acceptConnections() {
    for (;;) {
        const int socket = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            return;
        }
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            close(socket);
            return;
        }
        joinFinished();
        Connection& connection = connections_.emplace_back();
        connection.socket = socket;
        connection.thread = std::thread([this, &connection] {
            serve(connection.socket);
            // The peer learns at once that the conversation is over; the descriptor is closed
            // when the thread is joined, so that its number is not reused while still listed.
            shutdown(connection.socket, SHUT_RDWR);
            const std::lock_guard done(mutex_);
            std::erase(listeners_, connection.socket);
            connection.done = true;
        });
    }
}

// Called with the mutex held.
void MuxDaemon::joinFinished() {
    for (auto connection = connections_.begin(); connection != connections_.end();) {
        if (connection->done) {
            connection->thread.join();
            close(connection->socket);
            connection = connections_.erase(connection);
        } else {
            ++connection;
        }
    }
}

void MuxDaemon::serve(int socket) {
    MuxRequest request;
    if (!receiveMuxRequest(socket, request)) {
        return;
    }
    const std::string type = stringItem(request.body.get(), "MessageType");
    if (type == "ListDevices") {
        const plist_t list = plist_new_array();
        {
            const std::lock_guard lock(mutex_);
            for (const auto& device : devices_) {
                plist_array_append_item(list, attachedMessage(*device).release());
            }
        }
        sendMuxMessage(socket, request.tag, dictionaryWith("DeviceList", list).get());
    } else if (type == "Listen") {
        listen(socket, request.tag);
    } else if (type == "ReadBUID") {
        sendMuxMessage(socket, request.tag, dictionaryWith("BUID", plist_new_string(kBuid)).get());
    } else if (type == "ReadPairRecord") {
        readPairRecord(socket, request);
    } else if (type == "SavePairRecord") {
        savePairRecord(socket, request);
    } else if (type == "DeletePairRecord") {
        deletePairRecord(socket, request);
    } else if (type == "Connect") {
        connect(socket, request);
    } else {
        sendMuxResult(socket, request.tag, kMuxBadCommand);
    }
}

void MuxDaemon::listen(int socket, uint32_t tag) {
    {
        const std::lock_guard lock(mutex_);
        sendMuxResult(socket, tag, kMuxOk);
        for (const auto& device : devices_) {
            sendMuxMessage(socket, 0, attachedMessage(*device).get());
        }
        listeners_.push_back(socket);
    }
    char ignored = 0;
    while (recv(socket, &ignored, 1, 0) > 0) {
    }
}

void MuxDaemon::readPairRecord(int socket, const MuxRequest& request) {
    std::string record;
    {
        const std::lock_guard lock(mutex_);
        auto found = pairRecords_.find(stringItem(request.body.get(), "PairRecordID"));
        if (!found) {
            sendMuxResult(socket, request.tag, kMuxNoSuchRecord);
            return;
        }
        record = std::move(*found);
    }
    sendMuxMessage(
        socket, request.tag,
        dictionaryWith("PairRecordData", plist_new_data(record.data(), record.size())).get());
}

void MuxDaemon::savePairRecord(int socket, const MuxRequest& request) {
    const std::string id = stringItem(request.body.get(), "PairRecordID");
    const plist_t data = plist_dict_get_item(request.body.get(), "PairRecordData");
    if (id.empty() || plist_get_node_type(data) != PLIST_DATA) {
        sendMuxResult(socket, request.tag, kMuxBadCommand);
        return;
    }
    uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(data, &length);
    const auto attached = deviceByUdid(id);
    const std::lock_guard lock(mutex_);
    pairRecords_.store(id, std::string(bytes, length));
    sendMuxResult(socket, request.tag, kMuxOk);
    if (!attached) {
        return;
    }
    Plist paired(plist_new_dict());
    plist_dict_set_item(paired.get(), "MessageType", plist_new_string("Paired"));
    plist_dict_set_item(paired.get(), "DeviceID", plist_new_uint(attached->id()));
    for (const int listener : listeners_) {
        sendMuxMessage(listener, 0, paired.get());
    }
}

void MuxDaemon::deletePairRecord(int socket, const MuxRequest& request) {
    {
        const std::lock_guard lock(mutex_);
        pairRecords_.erase(stringItem(request.body.get(), "PairRecordID"));
    }
    // Also when there was none: what the host asked for holds.
    sendMuxResult(socket, request.tag, kMuxOk);
}

void MuxDaemon::allowAccessToAll() {
    const std::lock_guard lock(mutex_);
    for (const auto& device : devices_) {
        device->allowAccess();
    }
}

void MuxDaemon::connect(int socket, const MuxRequest& request) {
    const auto found = device(static_cast<uint32_t>(uintItem(request.body.get(), "DeviceID")));
    // The client sends the port in network order, read as a plain number.
    const auto swapped = static_cast<uint16_t>(uintItem(request.body.get(), "PortNumber"));
    const auto port = static_cast<uint16_t>(((swapped & 0xFF) << 8) | (swapped >> 8));
    if (!found) {
        sendMuxResult(socket, request.tag, kMuxBadDevice);
        return;
    }
    if (!listensOn(*found, port) || !found->adopt(socket)) {
        sendMuxResult(socket, request.tag, kMuxConnectionRefused);
        return;
    }
    if (sendMuxResult(socket, request.tag, kMuxOk)) {
        serveOnPort(socket, *found, port);
    }
    found->release(socket);
}

void MuxDaemon::deviceDetached(uint32_t id) {
    const std::lock_guard lock(mutex_);
    std::erase_if(devices_, [id](const auto& device) { return device->id() == id; });
    const Plist detached(plist_new_dict());
    plist_dict_set_item(detached.get(), "MessageType", plist_new_string("Detached"));
    plist_dict_set_item(detached.get(), "DeviceID", plist_new_uint(id));
    for (const int socket : listeners_) {
        sendMuxMessage(socket, 0, detached.get());
    }
    std::fprintf(stderr, "plovik-devemu: device %u detached\n", id);
}

std::shared_ptr<EmulatedDevice> MuxDaemon::device(uint32_t id) {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(devices_.begin(), devices_.end(),
                                    [id](const auto& device) { return device->id() == id; });
    return found != devices_.end() ? *found : nullptr;
}

std::shared_ptr<EmulatedDevice> MuxDaemon::deviceByUdid(const std::string& udid) {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(devices_.begin(), devices_.end(),
                                    [&udid](const auto& device) { return device->udid() == udid; });
    return found != devices_.end() ? *found : nullptr;
}

}  // namespace plovik::devemu
