// lockdownd on one connection, as a current iPhone answers the Debian 12 client library:
// QueryType, the values an unpaired device gives away, pairing (Pair, ValidatePair, Unpair),
// sessions that run inside TLS from the reply to StartSession until the host's close_notify, and
// StartService within a session; refusals as lockdown names them.
#ifndef PLOVIK_DEVEMU_LOCKDOWNSERVER_H
#define PLOVIK_DEVEMU_LOCKDOWNSERVER_H

#include "emulateddevice.h"
#include "pairing.h"
#include "plistitems.h"
#include "tlssession.h"

#include <plist/plist.h>

#include <memory>
#include <optional>
#include <string>

namespace plovik::devemu {

class LockdownServer {
public:
    explicit LockdownServer(EmulatedDevice& device) : device_(device) {}

    // Serves until the peer closes or the device is detached.
    void serve(int socket);

private:
    // Reads and drops what the host sends until it closes the connection.
    void waitForHostToClose() const;
    // The next request, from TLS while it runs; false when the connection ends.
    bool receive(Plist& request);
    bool send(plist_t reply);
    // Fills reply, which already names the request.
    void answer(const std::string& name, plist_t request, plist_t reply);
    void getValue(plist_t request, plist_t reply) const;
    void pair(plist_t request, plist_t reply);
    void validatePair(plist_t request, plist_t reply) const;
    void unpair(plist_t request, plist_t reply);
    void startSession(plist_t request, plist_t reply);
    void stopSession(plist_t request, plist_t reply);
    void startService(plist_t request, plist_t reply) const;

    EmulatedDevice& device_;
    int socket_ = -1;
    // Empty outside a session.
    std::string sessionId_;
    // Set by StartSession when TLS starts once its reply is out.
    std::optional<Pairing> tlsToStart_;
    std::unique_ptr<TlsSession> tls_;
};

}  // namespace plovik::devemu

#endif
