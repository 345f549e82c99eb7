// Whole receives from a service stream, for a reader that takes replies in pieces (a header,
// then its body): small pieces are served from one receive of all that has arrived, so a stream
// of many small replies costs few receives; large ones go straight into the reader's buffer.
#ifndef PLOVIK_USBMUX_BUFFEREDRECEIVER_H
#define PLOVIK_USBMUX_BUFFEREDRECEIVER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace plovik::usbmux {

class ServiceConnection;

class BufferedReceiver {
public:
    explicit BufferedReceiver(std::shared_ptr<ServiceConnection> service)
        : service_(std::move(service)) {}

    // Fills the buffer: 0, or the receive's failure (the stream closed, failed or timed out).
    // After a failure what was held is dropped.
    int receiveExactly(void* buffer, size_t length);
    // Reads length bytes and drops them.
    int discard(uint64_t length);

private:
    const std::shared_ptr<ServiceConnection> service_;
    // Bytes received beyond what was asked for; those from held_ on are not yet taken.
    std::vector<uint8_t> inbox_;
    size_t held_ = 0;
};

}  // namespace plovik::usbmux

#endif
