#include "publicvalues.h"

#include "lockdownclient.h"
#include "sigpipeguard.h"

namespace plovik::usbmux {

lockdownd_error_t readPublicValues(idevice_t device, plist_t* values) {
    *values = nullptr;
    const SigpipeGuard sigpipeGuard;
    lockdownd_client_t rawClient = nullptr;
    lockdownd_error_t result = lockdownd_client_new(device, &rawClient, "plovik");
    if (result != LOCKDOWN_E_SUCCESS) {
        return result;
    }
    // Without a session, freeing sends nothing and closes the connection.
    const LockdownClient client(rawClient);
    plist_t answer = nullptr;
    result = lockdownd_get_value(client.get(), nullptr, nullptr, &answer);
    if (result == LOCKDOWN_E_SUCCESS && plist_get_node_type(answer) != PLIST_DICT) {
        result = LOCKDOWN_E_PLIST_ERROR;
    }
    if (result != LOCKDOWN_E_SUCCESS) {
        plist_free(answer);
        return result;
    }
    *values = answer;
    return LOCKDOWN_E_SUCCESS;
}

}  // namespace plovik::usbmux
