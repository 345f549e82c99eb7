#ifndef PLOVIK_SIM_SERVICECONNECTION_H
#define PLOVIK_SIM_SERVICECONNECTION_H

#include "confinedfolder.h"
#include "requesthandler.h"
#include "serviceserver.h"
#include "simcontrols.h"
#include "simdevice.h"
#include "uniquefd.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>

namespace plovik::sim {

// A started service. A file service (afc, afc2) only names the folder AFCConnectionOpen serves;
// a property-list service is a socket pair whose far end a ServiceServer answers, and the
// near end is the client's byte stream. House arrest turns into a file service once it has
// vended a folder.
class ServiceConnection {
public:
    static std::shared_ptr<ServiceConnection> forFolder(
        std::shared_ptr<SimDevice> device, std::shared_ptr<const ConfinedFolder> folder);
    // Null when no socket pair can be made.
    static std::shared_ptr<ServiceConnection> forHandler(std::shared_ptr<SimDevice> device,
                                                         std::unique_ptr<RequestHandler> handler,
                                                         const SimControls& controls);

    ~ServiceConnection();
    ServiceConnection(const ServiceConnection&) = delete;
    ServiceConnection& operator=(const ServiceConnection&) = delete;

    const std::shared_ptr<SimDevice>& device() const { return device_; }

    // The count sent, or a negative SimError.
    int64_t send(const void* bytes, std::size_t length);
    // The count received, 0 when the server closed, or a negative SimError (kSimTimedOut).
    int64_t receive(void* buffer, std::size_t length);
    void setReceiveTimeout(uint32_t milliseconds) { receiveTimeout_ = milliseconds; }

    // The folder AFC serves on this connection; null when it speaks no AFC (yet).
    std::shared_ptr<const ConfinedFolder> servedFolder() const;

    // Cuts the connection: the server stops, the client reads the end of the stream, and AFC
    // connections opened on it fail from then on.
    void shutDown();
    std::stop_token cutToken() const { return cut_.get_token(); }

private:
    ServiceConnection(std::shared_ptr<SimDevice> device,
                      std::shared_ptr<const ConfinedFolder> folder);
    void setServedFolder(std::shared_ptr<const ConfinedFolder> folder);

    static constexpr uint32_t kDefaultReceiveTimeout = 30000;

    std::shared_ptr<SimDevice> device_;
    mutable std::mutex mutex_;
    std::shared_ptr<const ConfinedFolder> folder_;
    UniqueFd socket_;
    std::atomic<uint32_t> receiveTimeout_ = kDefaultReceiveTimeout;
    std::stop_source cut_;
    std::unique_ptr<ServiceServer> server_;  // last: its thread calls back into this object
};

}  // namespace plovik::sim

#endif
