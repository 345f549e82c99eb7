#include "traffictally.h"

#include "afcpacket.h"

namespace plovik::devemu {

void TrafficTally::afcConnectionOpened() {
    const std::lock_guard lock(mutex_);
    ++afcConnections_;
}

void TrafficTally::afcRequest(uint64_t operation, bool sentAhead) {
    const std::lock_guard lock(mutex_);
    ++afcRequests_[operation];
    afcRequestsSentAhead_ += sentAhead ? 1 : 0;
}

void TrafficTally::toDevice(std::size_t bytes) {
    const std::lock_guard lock(mutex_);
    bytesToDevice_ += bytes;
}

void TrafficTally::fromDevice(std::size_t bytes) {
    const std::lock_guard lock(mutex_);
    bytesFromDevice_ += bytes;
}

std::string TrafficTally::report() const {
    const std::lock_guard lock(mutex_);
    uint64_t requests = 0;
    std::string perOperation;
    for (const auto& [operation, count] : afcRequests_) {
        requests += count;
        perOperation += "afc " + afcOperationName(operation) + " " + std::to_string(count) + "\n";
    }
    return "afc-connections " + std::to_string(afcConnections_) + "\nafc-requests " +
           std::to_string(requests) + "\nafc-round-trips " +
           std::to_string(requests - afcRequestsSentAhead_) + "\n" + perOperation +
           "bytes-to-device " + std::to_string(bytesToDevice_) + "\nbytes-from-device " +
           std::to_string(bytesFromDevice_) + "\n";
}

}  // namespace plovik::devemu
