// How lockdown's replies read, as libimobiledevice reads them: whether a reply grants its request,
// and the client code of the error it names.
#ifndef PLOVIK_USBMUX_LOCKDOWNREPLY_H
#define PLOVIK_USBMUX_LOCKDOWNREPLY_H

#include <libimobiledevice/lockdown.h>
#include <plist/plist.h>

namespace plovik::usbmux {

// A reply grants request when its Request names it and it holds Result "Success", or neither
// Result nor Error. An Error without Result gives that error's code; anything else
// LOCKDOWN_E_UNKNOWN_ERROR.
lockdownd_error_t checkLockdownReply(plist_t reply, const char* request);

// The string a reply holds under key; null when it holds none.
const char* replyString(plist_t reply, const char* key);

// The code of a device's error name; LOCKDOWN_E_UNKNOWN_ERROR for a name not known.
lockdownd_error_t lockdownErrorNamed(const char* name);

}  // namespace plovik::usbmux

#endif
