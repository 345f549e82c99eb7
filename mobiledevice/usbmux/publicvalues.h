// The values a device tells any host, paired or not: its name, type, iOS version, identifier and
// the like. Read as ideviceinfo --simple reads them: GetValue without a domain or key on a plain
// lockdown connection, with no pairing and no session, so a locked or untrusted device answers
// too and no Trust dialog is asked for.
#ifndef PLOVIK_USBMUX_PUBLICVALUES_H
#define PLOVIK_USBMUX_PUBLICVALUES_H

#include <libimobiledevice/lockdown.h>
#include <plist/plist.h>

namespace plovik::usbmux {

// One connection, closed before returning; a device that does not answer fails within
// libimobiledevice's receive time-out. On success *values is the device's dictionary (the
// caller's to free); a reply that is no dictionary is LOCKDOWN_E_PLIST_ERROR.
lockdownd_error_t readPublicValues(idevice_t device, plist_t* values);

}  // namespace plovik::usbmux

#endif
