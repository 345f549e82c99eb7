// Pairing this computer with one device. A Pair request is what makes iOS show "Trust This
// Computer?"; while the user has not answered, the device answers PairingDialogResponsePending,
// so the request is repeated every few seconds. The host's record (keys and certificates) is made
// once for the device and offered again at every attempt, so waiting for the user costs no CPU;
// once the device accepts it, the whole record goes to usbmuxd (SavePairRecord), where
// libimobiledevice's tools and every later session find it.
#ifndef PLOVIK_USBMUX_PAIRING_H
#define PLOVIK_USBMUX_PAIRING_H

#include "hostpairrecord.h"

#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>

#include <cstdint>
#include <optional>
#include <string>

namespace plovik::usbmux {

class Pairing {
public:
    Pairing(std::string udid, uint32_t muxId) : udid_(std::move(udid)), muxId_(muxId) {}

    // One Pair request on a lockdown connection of its own; 0 once the device accepted it and
    // usbmuxd saved the record, else the lockdown error (pending, denied, password protected...).
    lockdownd_error_t request(idevice_t device);

private:
    lockdownd_error_t sendPair(lockdownd_client_t client, const std::string& wifiAddress);
    lockdownd_error_t saveRecord(plist_t pairReply, const std::string& wifiAddress) const;

    const std::string udid_;
    const uint32_t muxId_;
    std::optional<HostPairRecord> record_;
};

}  // namespace plovik::usbmux

#endif
