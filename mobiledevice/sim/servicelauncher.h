#ifndef PLOVIK_SIM_SERVICELAUNCHER_H
#define PLOVIK_SIM_SERVICELAUNCHER_H

#include "serviceconnection.h"
#include "simcontrols.h"
#include "simdevice.h"

#include <plist/plist.h>

#include <memory>

namespace plovik::sim {

// Starts the named service on a device inside a session; a SimError. The file services serve
// Media ("com.apple.afc") and Root ("com.apple.afc2"); installation proxy and house arrest get
// a server of their own.
int launchService(const std::shared_ptr<SimDevice>& device, plist_t serviceName,
                  const SimControls& controls, std::shared_ptr<ServiceConnection>& service);

}  // namespace plovik::sim

#endif
