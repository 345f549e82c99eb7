#include "trustedhosts.h"

namespace plovik::devemu {

TrustedHosts::TrustedHosts(KeptRecords records) : records_(std::move(records)) {
    for (const auto& [hostId, kept] : records_.all()) {
        if (auto pairing = Pairing::fromKept(kept); pairing && pairing->hostId() == hostId) {
            pairings_.insert_or_assign(hostId, std::move(*pairing));
        }
    }
}

void TrustedHosts::remember(const Pairing& pairing) {
    const std::lock_guard lock(mutex_);
    pairings_.insert_or_assign(pairing.hostId(), pairing);
    records_.store(pairing.hostId(), pairing.toKept());
}

void TrustedHosts::forget(const std::string& hostId) {
    const std::lock_guard lock(mutex_);
    pairings_.erase(hostId);
    records_.erase(hostId);
}

std::optional<Pairing> TrustedHosts::find(const std::string& hostId) const {
    const std::lock_guard lock(mutex_);
    const auto found = pairings_.find(hostId);
    return found != pairings_.end() ? std::optional<Pairing>(found->second) : std::nullopt;
}

}  // namespace plovik::devemu
