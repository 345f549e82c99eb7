// A client connection to the emulator's daemon in process, speaking the mux, lockdown and AFC
// framing byte by byte as libusbmuxd and libimobiledevice do.
#ifndef PLOVIK_TESTS_TOOLS_MUXCONNECTION_H
#define PLOVIK_TESTS_TOOLS_MUXCONNECTION_H

#include "afcpacket.h"
#include "plistitems.h"

#include <cstdint>
#include <string>

namespace devemutest {

using plovik::devemu::AfcReply;
using plovik::devemu::Plist;

class MuxConnection {
public:
    explicit MuxConnection(const std::string& socketPath);
    ~MuxConnection();
    MuxConnection(const MuxConnection&) = delete;
    MuxConnection& operator=(const MuxConnection&) = delete;

    int socket() const { return socket_; }

    // A request as libusbmuxd sends it; the reply body, null when none came.
    Plist request(const char* type, uint64_t deviceId = 0, uint16_t port = 0);
    Plist request(plist_t message);
    // The Result number of Connect.
    uint64_t connectTo(uint64_t deviceId, uint16_t port);

    // After Connect to lockdown: one framed request in plain text and its reply, null when none
    // came.
    Plist lockdown(plist_t request);
    // One framed plain reply; null when none came within 5 s.
    Plist receiveLockdown();

    AfcReply afc(uint64_t operation, const std::string& arguments, uint64_t packetNumber,
                 uint64_t* echoedNumber = nullptr, uint64_t* thisLength = nullptr);

private:
    int socket_;
};

// {Request: name}, with key: value when given (taken over).
Plist lockdownRequest(const char* name, const char* key = nullptr, plist_t value = nullptr);

}  // namespace devemutest

#endif
