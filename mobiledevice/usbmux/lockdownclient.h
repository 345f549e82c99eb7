// Owning handles of libimobiledevice and libplist objects.
#ifndef PLOVIK_USBMUX_LOCKDOWNCLIENT_H
#define PLOVIK_USBMUX_LOCKDOWNCLIENT_H

#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <plist/plist.h>

#include <memory>

namespace plovik::usbmux {

struct LockdownClientDeleter {
    // Freeing stops a session the client still holds.
    void operator()(lockdownd_client_t client) const { lockdownd_client_free(client); }
};
using LockdownClient = std::unique_ptr<lockdownd_client_private, LockdownClientDeleter>;

struct IdeviceDeleter {
    void operator()(idevice_t device) const { idevice_free(device); }
};
using Idevice = std::unique_ptr<idevice_private, IdeviceDeleter>;

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistHandle = std::unique_ptr<void, PlistDeleter>;

}  // namespace plovik::usbmux

#endif
