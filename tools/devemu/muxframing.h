// usbmuxd's message framing: a 16-byte header of host-order words (length including the header,
// version, message type, tag) and an XML property list.
#ifndef PLOVIK_DEVEMU_MUXFRAMING_H
#define PLOVIK_DEVEMU_MUXFRAMING_H

#include "plistitems.h"

#include <cstdint>

namespace plovik::devemu {

// Result numbers of the daemon.
enum MuxResult : uint64_t {
    kMuxOk = 0,
    kMuxBadCommand = 1,
    kMuxBadDevice = 2,
    // ENOENT: the real daemon's answer for a pair record it does not hold.
    kMuxNoSuchRecord = 2,
    kMuxConnectionRefused = 3,
};

struct MuxRequest {
    uint32_t tag = 0;
    Plist body;
};

// false when the peer closed, or sent no whole message or no property list.
bool receiveMuxRequest(int socket, MuxRequest& request);
// Events go out with tag 0. Header and body leave in one write: the client reads the header
// with a single recv.
bool sendMuxMessage(int socket, uint32_t tag, plist_t message);
bool sendMuxResult(int socket, uint32_t tag, uint64_t number);

}  // namespace plovik::devemu

#endif
