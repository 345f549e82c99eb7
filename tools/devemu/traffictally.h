// What crossed the emulated links of a run, counted across every device and connection: lockdown
// connections and their TLS handshakes, AFC connections, AFC requests by operation and the bytes
// each way. The emulator writes it out when it stops (--stats), so that a benchmark can tell what
// a copy or a snapshot cost in connections, requests and round trips.
#ifndef PLOVIK_DEVEMU_TRAFFICTALLY_H
#define PLOVIK_DEVEMU_TRAFFICTALLY_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace plovik::devemu {

class TrafficTally {
public:
    void lockdownConnectionOpened();
    // version as OpenSSL names it, e.g. "TLSv1.3".
    void tlsHandshake(const std::string& version);
    void afcConnectionOpened();
    // sentAhead: the host sent it before the reply to the one before had arrived.
    void afcRequest(uint64_t operation, bool sentAhead);
    void toDevice(std::size_t bytes);
    void fromDevice(std::size_t bytes);

    // One "key value" line each: afc-connections, afc-requests, afc-round-trips (the requests
    // the host waited for the reply before to send), "afc NAME" per operation seen,
    // bytes-to-device, bytes-from-device, lockdown-connections, tls-handshakes, and last
    // "tls-version VERSION" per version negotiated.
    std::string report() const;

private:
    mutable std::mutex mutex_;
    uint64_t lockdownConnections_ = 0;
    std::map<std::string, uint64_t> tlsHandshakes_;
    uint64_t afcConnections_ = 0;
    std::map<uint64_t, uint64_t> afcRequests_;
    uint64_t afcRequestsSentAhead_ = 0;
    uint64_t bytesToDevice_ = 0;
    uint64_t bytesFromDevice_ = 0;
};

}  // namespace plovik::devemu

#endif
