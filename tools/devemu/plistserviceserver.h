// A property-list service (installation proxy, house arrest) on one connection: framed requests
// answered by the simulator's handler; a vended folder turns the connection into AFC.
#ifndef PLOVIK_DEVEMU_PLISTSERVICESERVER_H
#define PLOVIK_DEVEMU_PLISTSERVICESERVER_H

#include "emulateddevice.h"

#include "requesthandler.h"

namespace plovik::devemu {

class PlistServiceServer {
public:
    PlistServiceServer(EmulatedDevice& device, sim::RequestHandler& handler)
        : device_(device), handler_(handler) {}

    // Serves until the peer closes or the device is detached.
    void serve(int socket);

private:
    EmulatedDevice& device_;
    sim::RequestHandler& handler_;
};

}  // namespace plovik::devemu

#endif
