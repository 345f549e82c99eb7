#include "traffictally.h"

#include "afcpacket.h"

namespace plovik::devemu {

void TrafficTally::lockdownConnectionOpened() {
    const std::lock_guard lock(mutex_);
    ++lockdownConnections_;
}

void TrafficTally::tlsHandshake(const std::string& version) {
    const std::lock_guard lock(mutex_);
    ++tlsHandshakes_[version];
}

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
    uint64_t handshakes = 0;
    std::string perVersion;
    for (const auto& [version, count] : tlsHandshakes_) {
        handshakes += count;
        perVersion += "tls-version " + version + " " + std::to_string(count) + "\n";
    }
    // The version lines last: a reader that takes every line for "key number" reads the rest.
    return "afc-connections " + std::to_string(afcConnections_) + "\nafc-requests " +
           std::to_string(requests) + "\nafc-round-trips " +
           std::to_string(requests - afcRequestsSentAhead_) + "\n" + perOperation +
           "bytes-to-device " + std::to_string(bytesToDevice_) + "\nbytes-from-device " +
           std::to_string(bytesFromDevice_) + "\nlockdown-connections " +
           std::to_string(lockdownConnections_) + "\ntls-handshakes " + std::to_string(handshakes) +
           "\n" + perVersion;
}

}  // namespace plovik::devemu
