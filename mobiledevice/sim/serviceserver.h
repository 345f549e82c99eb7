#ifndef PLOVIK_SIM_SERVICESERVER_H
#define PLOVIK_SIM_SERVICESERVER_H

#include "requesthandler.h"
#include "simcontrols.h"
#include "uniquefd.h"

#include <functional>
#include <memory>
#include <thread>

namespace plovik::sim {

// The device end of a property-list service: a thread reading requests from its socket and
// writing the handler's replies, until the peer closes, stop() is called, or a folder is vended
// (the connection then belongs to AFC).
class ServiceServer {
public:
    using VendCallback = std::function<void(std::shared_ptr<const ConfinedFolder>)>;

    // onVend runs on the server thread before the reply that announces the folder is written.
    ServiceServer(UniqueFd socket, std::unique_ptr<RequestHandler> handler,
                  const SimControls& controls, VendCallback onVend);
    ~ServiceServer();

    ServiceServer(const ServiceServer&) = delete;
    ServiceServer& operator=(const ServiceServer&) = delete;

    // Makes the thread end soon; safe from any thread but the server's, any number of times.
    void stop();

private:
    void run(std::stop_token stop);

    UniqueFd socket_;
    std::unique_ptr<RequestHandler> handler_;
    const SimControls& controls_;
    VendCallback onVend_;
    std::jthread thread_;  // last: started once everything it uses exists
};

}  // namespace plovik::sim

#endif
