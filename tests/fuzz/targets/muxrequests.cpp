// usbmuxd's framing as the device emulator's daemon reads it from a client: 16-byte headers and
// property-list bodies, one request after another until the stream ends or goes out of step.
#include "fuzztargets.h"
#include "muxframing.h"
#include "socketfeed.h"

void fuzzMuxRequests(const uint8_t* data, size_t size) {
    const SocketFeed feed({data, size});
    plovik::devemu::MuxRequest request;
    for (int count = 0; count < 64 && plovik::devemu::receiveMuxRequest(feed.socket(), request);
         ++count) {
        plovik::devemu::stringItem(request.body.get(), "MessageType");
    }
}
