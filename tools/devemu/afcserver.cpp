#include "afcserver.h"

#include "afcerror.h"

#include <sys/socket.h>

#include <algorithm>

namespace plovik::devemu {

namespace {

// A client asks for whole buffers at once; a device answers at most this much per read.
constexpr uint64_t kLargestRead = 16 << 20;
// A host that stays silent this long has gone; the connection ends.
constexpr std::chrono::milliseconds kIdleTimeout(30000);
// The status of a device that cannot take the request now.
constexpr uint64_t kAfcNoResources = 3;
constexpr std::size_t kAfcHeaderSize = 40;

std::string joined(const std::vector<std::string>& texts) {
    std::size_t length = 0;
    for (const std::string& text : texts) {
        length += text.size() + 1;
    }
    std::string body;
    body.reserve(length);
    for (const std::string& text : texts) {
        body += text;
        body += '\0';
    }
    return body;
}

AfcReply dataOrStatus(int result, const std::vector<std::string>& texts) {
    return result == sim::kAfcSuccess ? AfcReply{kAfcData, joined(texts)}
                                      : AfcReply::status(static_cast<uint64_t>(result));
}

AfcReply status(int result) {
    return AfcReply::status(static_cast<uint64_t>(result));
}

}  // namespace

void AfcServer::serve(int socket) {
    device_.tally().afcConnectionOpened();
    AfcRequestQueue queue(socket);
    HostBoundBuffer out = device_.hostBound(socket);
    for (;;) {
        // Before waiting for the host, the host has every reply.
        if (!queue.hasWaiting() && !out.flush()) {
            return;
        }
        const auto arrival = queue.next(kIdleTimeout);
        if (!arrival) {
            return;
        }
        // The drill answers a request that waited behind this one first.
        if (device_.faults().unorderedAfcReplies() && queue.hasWaiting()) {
            const auto overtaking = queue.next(std::chrono::milliseconds(0));
            if (overtaking && !respond(out, queue, *overtaking)) {
                return;
            }
        }
        if (!respond(out, queue, *arrival)) {
            return;
        }
    }
}

bool AfcServer::respond(HostBoundBuffer& out, AfcRequestQueue& queue,
                        const AfcRequestQueue::Arrival& arrival) {
    const AfcRequest& request = arrival.request;
    const auto crossed = device_.received(
        kAfcHeaderSize + request.arguments.size() + request.payload.size(), arrival.at);
    // Sent before the reply to the one before had reached the host: it cost no round trip.
    const bool sentAhead = !out.allWrittenBefore(arrival.at);
    device_.tally().afcRequest(request.operation, sentAhead);
    const RequestFault fault = device_.nextAfcRequest(
        request.operation, kAfcHeaderSize + request.arguments.size() + request.payload.size());
    // The replies before a fault reach the host, whatever the fault does to this one.
    if (fault != RequestFault::None && !out.flush()) {
        return false;
    }
    if (fault == RequestFault::Detach) {
        device_.detach();
        return false;
    }
    if (fault == RequestFault::Stall) {
        // A stalled reply never comes: the connection stays silent until the host gives up or
        // the device goes.
        queue.discardUntilClosed();
        return false;
    }
    if (fault == RequestFault::Deaf) {
        queue.stopReadingUntilClosed();
        return false;
    }
    // The device acts on a request only once all of it is there.
    if (!out.waitUntil(crossed)) {
        return false;
    }
    const auto working = EmulatedDevice::Clock::now();
    const AfcReply reply = sentAhead && device_.faults().refusesAfcSentAhead()
                               ? AfcReply::status(kAfcNoResources)
                           : fault == RequestFault::NoSpace ? status(sim::kAfcNoSpaceLeft)
                                                            : answer(request);
    const auto work = EmulatedDevice::Clock::now() - working;
    // A reply to another packet is how a stream that lost its place looks to the host.
    const uint64_t packetNumber =
        fault == RequestFault::BadHeader ? request.packetNumber + 7 : request.packetNumber;
    std::string packet = encodeAfcReply(packetNumber, reply);
    if (device_.faults().oversizedReplies() && request.operation == kAfcReadDirectory) {
        // The header announces a reply of 1 TiB; what follows is the listing.
        packet.replace(8, 8, std::string("\0\0\0\0\0\x01\0\0", 8));
    }
    if (fault == RequestFault::Reset) {
        // The connection breaks with half of the reply sent; the device stays.
        packet.resize(packet.size() / 2);
        if (device_.send(out, packet, crossed, work)) {
            out.flush();
        }
        shutdown(out.socket(), SHUT_RDWR);
        return false;
    }
    return device_.send(out, packet, crossed, work);
}

AfcReply AfcServer::answer(const AfcRequest& request) {
    switch (request.operation) {
        case kAfcReadDirectory:
            return listing(request.text(0));
        case kAfcGetFileInfo:
            return fileInfo(request.text(0));
        case kAfcMakeDirectory:
            return status(connection_.makeDirectory(request.text(0).c_str()));
        case kAfcRemovePath:
            return status(connection_.removePath(request.text(0).c_str()));
        case kAfcRenamePath: {
            const std::string from = request.text(0);
            return status(
                connection_.renamePath(from.c_str(), request.text(from.size() + 1).c_str()));
        }
        case kAfcSetFileTime:
            return status(connection_.setFileTime(request.text(8).c_str(), request.number(0)));
        case kAfcFileOpen:
            return open(request);
        case kAfcFileRead:
            return read(request);
        case kAfcFileWrite:
            return write(request);
        case kAfcFileSeek:
            return seek(request);
        case kAfcFileTell:
            return tell(request);
        case kAfcFileClose:
            cloudOnlyFiles_.erase(request.number(0));
            return status(connection_.closeFile(request.number(0)));
        default:
            return AfcReply::status(15);
    }
}

AfcReply AfcServer::listing(const std::string& path) const {
    std::vector<std::string> names;
    const int result = connection_.listDirectory(path.c_str(), names);
    if (result == sim::kAfcSuccess && device_.faults().hostileNames()) {
        // A NUL inside a name splits it in two on the wire.
        names.insert(names.end(),
                     {"../escaped", "a/b", "..", "bad\xFF\xFEname.txt", "nul", "inside"});
    }
    AfcReply reply = dataOrStatus(result, names);
    if (result == sim::kAfcSuccess && device_.faults().unterminatedListings()) {
        reply.body.pop_back();
    }
    return reply;
}

AfcReply AfcServer::fileInfo(const std::string& path) const {
    // The names a hostile listing adds are files as far as the host can tell.
    if (device_.faults().hostileNames()) {
        for (const char* name :
             {"/../escaped", "/a/b", "/bad\xFF\xFEname.txt", "/nul", "/inside"}) {
            if (path.ends_with(name)) {
                return dataOrStatus(sim::kAfcSuccess,
                                    {"st_size", "0", "st_ifmt", "S_IFREG", "st_nlink", "1",
                                     "st_mtime", "0", "st_birthtime", "0"});
            }
        }
    }
    std::vector<std::string> pairs;
    const int result = connection_.fileInfo(path.c_str(), pairs);
    if (device_.faults().hugeFileSizes()) {
        for (std::size_t index = 0; index + 1 < pairs.size(); index += 2) {
            if (pairs[index] == "st_size" &&
                std::find(pairs.begin(), pairs.end(), "S_IFREG") != pairs.end()) {
                pairs[index + 1] = "100000000000000000000";
            }
        }
    }
    return dataOrStatus(result, pairs);
}

AfcReply AfcServer::open(const AfcRequest& request) {
    AFCFileRef file = 0;
    const std::string path = request.text(8);
    const int result = connection_.openFile(path.c_str(), request.number(0), file);
    if (result != sim::kAfcSuccess)
        return status(result);
    if (device_.faults().cloudOnlyPhotos() && path.starts_with("/DCIM/"))
        cloudOnlyFiles_.insert(file);
    return AfcReply::number(kAfcFileOpenResult, file);
}

AfcReply AfcServer::read(const AfcRequest& request) const {
    int result = sim::kAfcSuccess;
    const auto file = connection_.findFile(request.number(0), result);
    if (!file) {
        return status(result);
    }
    if (cloudOnlyFiles_.contains(request.number(0)))
        return status(sim::kAfcIoError);
    std::string bytes(static_cast<std::size_t>(std::min(request.number(8), kLargestRead)), '\0');
    auto length = static_cast<uint32_t>(bytes.size());
    result = file->read(bytes.data(), length);
    if (result != sim::kAfcSuccess) {
        return status(result);
    }
    bytes.resize(length);
    return {kAfcData, std::move(bytes)};
}

AfcReply AfcServer::write(const AfcRequest& request) const {
    int result = sim::kAfcSuccess;
    const auto file = connection_.findFile(request.number(0), result);
    if (!file) {
        return status(result);
    }
    return status(
        file->write(request.payload.data(), static_cast<uint32_t>(request.payload.size())));
}

AfcReply AfcServer::seek(const AfcRequest& request) const {
    int result = sim::kAfcSuccess;
    const auto file = connection_.findFile(request.number(0), result);
    if (!file) {
        return status(result);
    }
    return status(file->seek(static_cast<int64_t>(request.number(16)), request.number(8)));
}

AfcReply AfcServer::tell(const AfcRequest& request) const {
    int result = sim::kAfcSuccess;
    const auto file = connection_.findFile(request.number(0), result);
    if (!file) {
        return status(result);
    }
    uint64_t position = 0;
    result = file->tell(position);
    return result == sim::kAfcSuccess ? AfcReply::number(kAfcFileTellResult, position)
                                      : status(result);
}

}  // namespace plovik::devemu
