// What answers a mux Connect to a device port: lockdown or one of the services it starts.
#ifndef PLOVIK_DEVEMU_DEVICEPORTS_H
#define PLOVIK_DEVEMU_DEVICEPORTS_H

#include "emulateddevice.h"

#include <cstdint>

namespace plovik::devemu {

// Whether a connection to the port is accepted; refused services and afc2 without a Root
// folder are not.
bool listensOn(const EmulatedDevice& device, uint16_t port);
// Serves the connection until it ends; the port is one listensOn accepted.
void serveOnPort(int socket, EmulatedDevice& device, uint16_t port);

}  // namespace plovik::devemu

#endif
