// A host's side of a pairing, made as libimobiledevice 1.3.0 makes it: a root and a host key,
// certificates for both and one for the device's public key, all signed by the root key with
// SHA-1. Keys are 1024 bits, not 2048, to keep the tests quick under valgrind.
#ifndef PLOVIK_TESTS_TOOLS_HOSTCREDENTIALS_H
#define PLOVIK_TESTS_TOOLS_HOSTCREDENTIALS_H

#include "opensslpointers.h"
#include "plistitems.h"

#include <string>

namespace devemutest {

class HostCredentials {
public:
    // devicePublicKeyPem: PKCS#1, as GetValue DevicePublicKey gives it.
    HostCredentials(const std::string& hostId, const std::string& devicePublicKeyPem);

    const std::string& hostId() const { return hostId_; }
    X509* rootCertificate() const { return rootCertificate_.get(); }
    EVP_PKEY* rootKey() const { return rootKey_.get(); }
    X509* hostCertificate() const { return hostCertificate_.get(); }
    EVP_PKEY* hostKey() const { return hostKey_.get(); }
    X509* deviceCertificate() const { return deviceCertificate_.get(); }

    // The PairRecord of a Pair request: the three certificates as PEM data, HostID, SystemBUID.
    plovik::devemu::Plist pairRecord() const;

private:
    std::string hostId_;
    plovik::devemu::KeyPointer rootKey_;
    plovik::devemu::KeyPointer hostKey_;
    plovik::devemu::X509Pointer rootCertificate_;
    plovik::devemu::X509Pointer hostCertificate_;
    plovik::devemu::X509Pointer deviceCertificate_;
};

// Sets the certificate named by key in a pair record, as PEM data.
void replaceCertificate(plist_t record, const char* key, X509* certificate);

}  // namespace devemutest

#endif
