// The hosts one device paired with, by HostID: the phone's own memory, which outlives its
// unplugging, so the owner keeps it apart from the EmulatedDevice of each plugging, and may keep
// it across runs in files. Safe to use from several connections at once.
#ifndef PLOVIK_DEVEMU_TRUSTEDHOSTS_H
#define PLOVIK_DEVEMU_TRUSTEDHOSTS_H

#include "keptrecords.h"
#include "pairing.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace plovik::devemu {

class TrustedHosts {
public:
    // Remembered for the run only.
    TrustedHosts() = default;
    // Also kept in records, starting from the pairings they hold.
    explicit TrustedHosts(KeptRecords records);

    // Replaces an earlier pairing with the same host.
    void remember(const Pairing& pairing);
    void forget(const std::string& hostId);
    std::optional<Pairing> find(const std::string& hostId) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, Pairing> pairings_;
    KeptRecords records_;
};

}  // namespace plovik::devemu

#endif
