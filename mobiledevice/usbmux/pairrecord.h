// The host's pair record for a device, as usbmuxd keeps it (ReadPairRecord): what opens a
// lockdown session with it.
#ifndef PLOVIK_USBMUX_PAIRRECORD_H
#define PLOVIK_USBMUX_PAIRRECORD_H

#include "lockdownclient.h"

#include <optional>
#include <string>

namespace plovik::usbmux {

struct SessionCredentials {
    std::string hostId;
    // PEM texts, empty when the record lacks them (a record for a device without TLS).
    std::string rootCertificate;
    std::string rootPrivateKey;
    // The record without its private keys, as ValidatePair shows it to a device before iOS 7.
    PlistHandle publicRecord;
};

// The record for udid; nothing when usbmuxd has no record, cannot be reached, or the record holds
// no HostID (a record that cannot open a session).
std::optional<SessionCredentials> readSessionCredentials(const std::string& udid);

}  // namespace plovik::usbmux

#endif
