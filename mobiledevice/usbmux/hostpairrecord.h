// The host's half of a pairing with a device: a root certificate authority, a host certificate
// and a certificate for the device's own key, all made here, as libimobiledevice makes them. The
// device keeps the public parts (Pair); the host keeps everything, private keys included, in
// usbmuxd's pair record, which is what opens a TLS lockdown session later.
#ifndef PLOVIK_USBMUX_HOSTPAIRRECORD_H
#define PLOVIK_USBMUX_HOSTPAIRRECORD_H

#include <plist/plist.h>

#include <optional>
#include <string>

namespace plovik::usbmux {

struct HostPairRecord {
    std::string hostId;      // an upper-case UUID, new for each record
    std::string systemBuid;  // usbmuxd's BUID
    // PEM texts.
    std::string rootCertificate;
    std::string rootPrivateKey;
    std::string hostCertificate;
    std::string hostPrivateKey;
    std::string deviceCertificate;
    // The device key the device certificate was made for (PKCS#1 PEM, as the device gives it).
    std::string devicePublicKey;

    // Fresh root and host keys (two RSA-2048 keys: most of a second of CPU) and certificates,
    // with a device certificate for devicePublicKey. Nothing when that key cannot be read.
    static std::optional<HostPairRecord> make(const std::string& devicePublicKey,
                                              std::string systemBuid);

    // Certifies another key of the device with the same root; false when it cannot be read.
    bool certifyDevice(const std::string& devicePublicKey);

    // The dictionary usbmuxd stores (and ReadPairRecord returns), private keys included.
    plist_t toStoredPlist() const;
};

}  // namespace plovik::usbmux

#endif
