// The library's process-wide state behind the C entry points: the device watcher and the handles
// of open service and AFC connections. Created on first use and never destroyed: libusbmuxd's
// monitor thread and the watcher's own thread use it until the process ends, and an exiting
// program must not wait for them.
#ifndef PLOVIK_USBMUX_USBMUXLIBRARY_H
#define PLOVIK_USBMUX_USBMUXLIBRARY_H

#include "afcconnection.h"
#include "devicewatcher.h"
#include "handleregistry.h"
#include "serviceconnection.h"

namespace plovik::usbmux {

class UsbmuxLibrary {
public:
    static UsbmuxLibrary& instance();

    DeviceWatcher& watcher() { return watcher_; }
    HandleRegistry<ServiceConnection>& services() { return services_; }
    HandleRegistry<AfcConnection>& afcConnections() { return afcConnections_; }

private:
    UsbmuxLibrary() = default;

    DeviceWatcher watcher_;
    HandleRegistry<ServiceConnection> services_;
    HandleRegistry<AfcConnection> afcConnections_;
};

}  // namespace plovik::usbmux

#endif
