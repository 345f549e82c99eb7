// What a stream of requests in flight (AfcFileInfoReads, AfcWholeFileReads, AfcWholeFileWrites,
// AfcFilePartReads) hands AfcConnection to send, and what it makes of each reply.
#ifndef PLOVIK_USBMUX_AFCSTREAMREQUEST_H
#define PLOVIK_USBMUX_AFCSTREAMREQUEST_H

#include "afcpacket.h"
#include "results.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace plovik::usbmux {

// What a status reply or an open's reply is reckoned to bring: the header and one number.
inline constexpr size_t kShortReplyCost = AfcHeader::kSize + 8;

template <typename Kind>
struct AfcStreamRequest {
    size_t file = 0;
    Kind kind{};
    AfcOperation operation = AfcOperation::Status;
    std::vector<uint8_t> arguments;
    // The bytes its reply is reckoned to bring.
    size_t replyCost = 0;
    const uint8_t* payload = nullptr;
    size_t payloadLength = 0;
};

template <typename Finished>
struct AfcStreamAnswer {
    // The item the reply ended, if it did.
    std::optional<Finished> finished;
    // A request sent ahead of the reply before was failed: the device may refuse requests in
    // flight, and the item is to be done again, alone.
    bool refusedInFlight = false;
};

// Whether a reply may be the device's refusal of requests in flight: a failure other than a
// missing path, answering a request sent ahead of the reply before.
inline bool mayBeRefusalInFlight(bool carriesData, int status, bool sentAhead) {
    return !carriesData && status != kSuccess && status != kAfcObjectNotFound && sentAhead;
}

// Keeps an item's first failure; a status of 0 where data was due is an unexpected reply.
inline void keepFirstFailure(int& failure, int status) {
    if (failure == kSuccess) {
        failure = status != kSuccess ? status : kAfcUnexpectedReply;
    }
}

}  // namespace plovik::usbmux

#endif
