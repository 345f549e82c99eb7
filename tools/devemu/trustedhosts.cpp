#include "trustedhosts.h"

namespace plovik::devemu {

void TrustedHosts::remember(const Pairing& pairing) {
    const std::lock_guard lock(mutex_);
    pairings_.insert_or_assign(pairing.hostId(), pairing);
}

void TrustedHosts::forget(const std::string& hostId) {
    const std::lock_guard lock(mutex_);
    pairings_.erase(hostId);
}

std::optional<Pairing> TrustedHosts::find(const std::string& hostId) const {
    const std::lock_guard lock(mutex_);
    const auto found = pairings_.find(hostId);
    return found != pairings_.end() ? std::optional<Pairing>(found->second) : std::nullopt;
}

}  // namespace plovik::devemu
