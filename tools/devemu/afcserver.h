// AFC on one connection: requests in device packets, answered strictly one after another in the
// order they came, each no sooner than the link's latency after it crossed, from a confined
// device folder by the simulator's AFC model, with the faults of the run applied per request.
// Replies that come due while further requests wait share writes to the host.
#ifndef PLOVIK_DEVEMU_AFCSERVER_H
#define PLOVIK_DEVEMU_AFCSERVER_H

#include "afcpacket.h"
#include "afcrequestqueue.h"
#include "emulateddevice.h"

#include "afcconnection.h"

#include <cstdint>
#include <memory>
#include <set>
#include <stop_token>

namespace plovik::devemu {

class AfcServer {
public:
    AfcServer(EmulatedDevice& device, std::shared_ptr<const sim::ConfinedFolder> folder)
        : device_(device),
          connection_(device.model(), std::move(folder), std::stop_token(), device.controls()) {}

    // Serves until the peer closes, the device is detached or a fault ends the stream.
    void serve(int socket);

private:
    // Answers one request at its time on the link; false when the connection ends.
    bool respond(HostBoundBuffer& out, AfcRequestQueue& queue,
                 const AfcRequestQueue::Arrival& arrival);
    AfcReply answer(const AfcRequest& request);
    AfcReply listing(const std::string& path) const;
    AfcReply fileInfo(const std::string& path) const;
    AfcReply open(const AfcRequest& request);
    AfcReply read(const AfcRequest& request) const;
    AfcReply write(const AfcRequest& request) const;
    AfcReply seek(const AfcRequest& request) const;
    AfcReply tell(const AfcRequest& request) const;

    EmulatedDevice& device_;
    sim::AfcConnection connection_;
    // Files opened under /DCIM while cloud-only photos are drilled.
    std::set<uint64_t> cloudOnlyFiles_;
};

}  // namespace plovik::devemu

#endif
