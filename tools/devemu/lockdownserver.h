// lockdownd on one connection: QueryType, GetValue, sessions (never with TLS) and StartService,
// answered as the Debian 12 client library expects, refusals as lockdown names them.
#ifndef PLOVIK_DEVEMU_LOCKDOWNSERVER_H
#define PLOVIK_DEVEMU_LOCKDOWNSERVER_H

#include "emulateddevice.h"

#include <plist/plist.h>

#include <string>

namespace plovik::devemu {

class LockdownServer {
public:
    explicit LockdownServer(EmulatedDevice& device) : device_(device) {}

    // Serves until the peer closes or the device is detached.
    void serve(int socket);

private:
    // Fills reply, which already names the request.
    void answer(const std::string& name, plist_t request, plist_t reply);
    void getValue(plist_t request, plist_t reply) const;
    void startSession(plist_t reply);
    void startService(plist_t request, plist_t reply) const;

    EmulatedDevice& device_;
    bool inSession_ = false;
};

}  // namespace plovik::devemu

#endif
