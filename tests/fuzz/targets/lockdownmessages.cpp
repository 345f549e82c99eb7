// Lockdown's framing as the device emulator reads it from a host: a 4-byte big-endian length and
// a property list, one message after another until the stream ends or goes out of step.
#include "fuzztargets.h"
#include "plistframing.h"
#include "socketfeed.h"

void fuzzLockdownMessages(const uint8_t* data, size_t size) {
    const SocketFeed feed({data, size});
    for (int count = 0; count < 64; ++count) {
        plovik::devemu::Plist request;
        if (!plovik::devemu::receiveFramedPlist(feed.socket(), request))
            break;
        plovik::devemu::stringItem(request.get(), "Request");
        plovik::devemu::stringItem(request.get(), "Key");
    }
}
