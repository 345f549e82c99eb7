#include "standinmux.h"

#include "muxframing.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>

namespace standin {

namespace {

using namespace plovik::devemu;

constexpr uint16_t kLockdownPort = 62078;

plist_t attachedMessage(const DeviceState& device) {
    const plist_t properties = plist_new_dict();
    plist_dict_set_item(properties, "ConnectionType", plist_new_string("USB"));
    plist_dict_set_item(properties, "DeviceID", plist_new_uint(device.id));
    plist_dict_set_item(properties, "ProductID", plist_new_uint(0x12a8));
    plist_dict_set_item(properties, "SerialNumber", plist_new_string(device.udid.c_str()));
    const plist_t message = plist_new_dict();
    plist_dict_set_item(message, "MessageType", plist_new_string("Attached"));
    plist_dict_set_item(message, "DeviceID", plist_new_uint(device.id));
    plist_dict_set_item(message, "Properties", properties);
    return message;
}

}  // namespace

StandInMux::StandInMux(std::string socketPath) : socketPath_(std::move(socketPath)) {}

StandInMux::~StandInMux() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const int socket : sockets_) {
            shutdown(socket, SHUT_RDWR);
        }
    }
    if (listener_ >= 0) {
        shutdown(listener_, SHUT_RDWR);
        acceptThread_.join();
        close(listener_);
        unlink(socketPath_.c_str());
    }
    // Threads still serving are joined here; those that ended have let themselves go.
    std::vector<std::thread> serving;
    {
        const std::lock_guard lock(mutex_);
        serving.swap(threads_);
    }
    for (std::thread& thread : serving) {
        thread.join();
    }
}

bool StandInMux::start() {
    listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath_.copy(address.sun_path, sizeof address.sun_path - 1);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 16) != 0) {
        return false;
    }
    acceptThread_ = std::thread([this] { acceptConnections(); });
    return true;
}

void StandInMux::acceptConnections() {
    for (;;) {
        const int socket = accept(listener_, nullptr, nullptr);
        if (socket < 0) {
            return;
        }
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            close(socket);
            return;
        }
        sockets_.push_back(socket);
        threads_.emplace_back([this, socket] {
            serve(socket);
            const std::lock_guard done(mutex_);
            std::erase(sockets_, socket);
            std::erase(listenSockets_, socket);
            close(socket);
            // The stand-in may live as long as the process: an ended connection's thread lets
            // itself go instead of waiting, unjoined, for the destructor.
            const auto self = std::find_if(threads_.begin(), threads_.end(), [](const auto& t) {
                return t.get_id() == std::this_thread::get_id();
            });
            if (self != threads_.end()) {
                self->detach();
                threads_.erase(self);
            }
        });
    }
}

void StandInMux::serve(int socket) {
    MuxRequest muxRequest;
    if (!receiveMuxRequest(socket, muxRequest)) {
        return;
    }
    const Plist& request = muxRequest.body;
    const std::string type = stringItem(request.get(), "MessageType");
    if (type == "ListDevices") {
        const Plist reply(plist_new_dict());
        const plist_t list = plist_new_array();
        const std::lock_guard lock(mutex_);
        for (const DeviceState& device : devices_) {
            plist_array_append_item(list, attachedMessage(device));
        }
        plist_dict_set_item(reply.get(), "DeviceList", list);
        sendMuxMessage(socket, muxRequest.tag, reply.get());
    } else if (type == "Listen") {
        {
            const std::lock_guard lock(mutex_);
            sendMuxResult(socket, muxRequest.tag, 0);
            for (const DeviceState& device : devices_) {
                const Plist attached(attachedMessage(device));
                sendMuxMessage(socket, 0, attached.get());
            }
            listenSockets_.push_back(socket);
        }
        char ignored = 0;
        while (recv(socket, &ignored, 1, 0) > 0) {
        }
    } else if (type == "ReadBUID") {
        const Plist reply(plist_new_dict());
        plist_dict_set_item(reply.get(), "BUID", plist_new_string("STANDIN-BUID"));
        sendMuxMessage(socket, muxRequest.tag, reply.get());
    } else if (type == "ReadPairRecord") {
        const std::optional<DeviceState> device =
            deviceByUdid(stringItem(request.get(), "PairRecordID"));
        if (!device || !device->paired) {
            sendMuxResult(socket, muxRequest.tag, 2);
            return;
        }
        const Plist record(plist_new_dict());
        plist_dict_set_item(record.get(), "HostID", plist_new_string("STANDIN-HOST"));
        plist_dict_set_item(record.get(), "SystemBUID", plist_new_string("STANDIN-BUID"));
        const std::string xml = toXml(record.get());
        const Plist reply(plist_new_dict());
        plist_dict_set_item(reply.get(), "PairRecordData", plist_new_data(xml.data(), xml.size()));
        sendMuxMessage(socket, muxRequest.tag, reply.get());
    } else if (type == "Connect") {
        connect(socket, muxRequest.tag, request.get());
    } else {
        sendMuxResult(socket, muxRequest.tag, 1);
    }
}

void StandInMux::connect(int socket, uint32_t tag, plist_t request) {
    const auto id = static_cast<uint32_t>(uintItem(request, "DeviceID"));
    const auto swapped = static_cast<uint16_t>(uintItem(request, "PortNumber"));
    const auto port = static_cast<uint16_t>(((swapped & 0xFF) << 8) | (swapped >> 8));
    if (!device(id)) {
        sendMuxResult(socket, tag, 2);
        return;
    }
    if (port != kLockdownPort && port != kAfcPort && port != kSilentPort && port != kDeafPort) {
        sendMuxResult(socket, tag, 3);
        return;
    }
    sendMuxResult(socket, tag, 0);
    if (port == kLockdownPort) {
        serveLockdown(socket, [this, id] { return device(id); });
    } else if (port == kAfcPort) {
        afc_.serve(socket);
    } else if (port == kDeafPort) {
        // Waits for the peer to hang up without taking a byte of what it sent.
        pollfd waiting{socket, POLLRDHUP, 0};
        poll(&waiting, 1, -1);
    } else {
        char ignored = 0;
        while (recv(socket, &ignored, 1, 0) > 0) {
        }
    }
}

std::optional<DeviceState> StandInMux::device(uint32_t id) {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(devices_.begin(), devices_.end(),
                                    [id](const DeviceState& device) { return device.id == id; });
    return found != devices_.end() ? std::optional(*found) : std::nullopt;
}

std::optional<DeviceState> StandInMux::deviceByUdid(const std::string& udid) {
    const std::lock_guard lock(mutex_);
    const auto found =
        std::find_if(devices_.begin(), devices_.end(),
                     [&udid](const DeviceState& device) { return device.udid == udid; });
    return found != devices_.end() ? std::optional(*found) : std::nullopt;
}

void StandInMux::attach(const DeviceState& device) {
    const std::lock_guard lock(mutex_);
    devices_.push_back(device);
    const Plist attached(attachedMessage(device));
    pushToListeners(attached.get());
}

void StandInMux::detach(uint32_t id) {
    const std::lock_guard lock(mutex_);
    std::erase_if(devices_, [id](const DeviceState& device) { return device.id == id; });
    const Plist detached(plist_new_dict());
    plist_dict_set_item(detached.get(), "MessageType", plist_new_string("Detached"));
    plist_dict_set_item(detached.get(), "DeviceID", plist_new_uint(id));
    pushToListeners(detached.get());
}

void StandInMux::update(const DeviceState& device) {
    const std::lock_guard lock(mutex_);
    for (DeviceState& known : devices_) {
        if (known.id == device.id) {
            known = device;
        }
    }
}

void StandInMux::pushToListeners(plist_t event) {
    for (const int socket : listenSockets_) {
        sendMuxMessage(socket, 0, event);
    }
}

}  // namespace standin
