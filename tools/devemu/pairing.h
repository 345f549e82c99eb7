// What a device keeps of one host it paired with: the host's ID, the root certificate the host
// presents in a session's TLS, and the certificate the host made for the device's key, which the
// device presents in turn.
#ifndef PLOVIK_DEVEMU_PAIRING_H
#define PLOVIK_DEVEMU_PAIRING_H

#include "devicekey.h"
#include "opensslpointers.h"

#include <plist/plist.h>

#include <optional>
#include <string>
#include <utility>

namespace plovik::devemu {

class Pairing {
public:
    // The pairing a Pair request's PairRecord asks for: HostID present, the device certificate
    // for the device's key, it and the host certificate signed by the root certificate (PEM
    // data, as libimobiledevice sends them). Nothing when the record is not such.
    static std::optional<Pairing> fromPairRecord(plist_t record, const DeviceKey& deviceKey);
    // As toKept wrote it; nothing when the text is not such.
    static std::optional<Pairing> fromKept(const std::string& kept);

    // An XML property list of the three values, for the device to keep across runs.
    std::string toKept() const;

    const std::string& hostId() const { return hostId_; }
    // DER encodings.
    const std::string& rootCertificate() const { return rootCertificate_; }
    const std::string& deviceCertificate() const { return deviceCertificate_; }

private:
    Pairing(std::string hostId, std::string rootCertificate, std::string deviceCertificate)
        : hostId_(std::move(hostId)),
          rootCertificate_(std::move(rootCertificate)),
          deviceCertificate_(std::move(deviceCertificate)) {}

    std::string hostId_;
    std::string rootCertificate_;
    std::string deviceCertificate_;
};

}  // namespace plovik::devemu

#endif
