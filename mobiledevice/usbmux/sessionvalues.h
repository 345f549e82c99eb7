// The lockdown values one session gave, by domain. A domain is asked for whole, once (GetValue
// without a key returns its dictionary), so a device's snapshot costs a request per domain
// instead of one per key; a key the whole domain lacks is asked for by itself, once. The answers
// are kept only as long as the session: a new session asks again, so values read in a later
// piece of work (free space, battery) are current.
#ifndef PLOVIK_USBMUX_SESSIONVALUES_H
#define PLOVIK_USBMUX_SESSIONVALUES_H

#include "lockdownclient.h"

#include <libimobiledevice/lockdown.h>
#include <plist/plist.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace plovik::usbmux {

class SessionValues {
public:
    // One GetValue request; key or domain may be null.
    using Request =
        std::function<lockdownd_error_t(const char* domain, const char* key, plist_t* value)>;

    // A copy of the value of key (null: the whole domain) in domain (null: the default one) in
    // *value, asking the device through request what is not known yet. Refusals are kept as
    // answers; failures of the connection are not.
    lockdownd_error_t copy(const char* domain, const char* key, plist_t* value,
                           const Request& request);
    void clear() { domains_.clear(); }

private:
    using Owned = PlistHandle;

    struct Answer {
        lockdownd_error_t result = LOCKDOWN_E_SUCCESS;
        Owned value;
    };
    struct Domain {
        std::optional<Answer> whole;
        std::map<std::string, Answer> keys;
    };

    static Answer ask(const char* domain, const char* key, const Request& request);
    static lockdownd_error_t give(const Answer& answer, plist_t* value);

    std::map<std::string, Domain> domains_;
};

}  // namespace plovik::usbmux

#endif
