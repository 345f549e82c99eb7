// The device's own RSA key: lockdown hands out its public half for the host to certify, and the
// TLS server of a session proves itself with the private half. Fixed, so that the pairings made
// with one run of the emulator hold for the next.
#ifndef PLOVIK_DEVEMU_DEVICEKEY_H
#define PLOVIK_DEVEMU_DEVICEKEY_H

#include "opensslpointers.h"

#include <string>

namespace plovik::devemu {

class DeviceKey {
public:
    // The one key every emulated device uses.
    static const DeviceKey& shared();

    // The private key, owned by this object.
    EVP_PKEY* privateKey() const { return key_.get(); }
    // PKCS#1 PEM ("BEGIN RSA PUBLIC KEY"), as GetValue DevicePublicKey gives it.
    const std::string& publicKeyPem() const { return publicKeyPem_; }
    // Whether publicKey is this key's public half.
    bool isPublicHalf(const EVP_PKEY* publicKey) const;

private:
    DeviceKey();

    KeyPointer key_;
    std::string publicKeyPem_;
};

}  // namespace plovik::devemu

#endif
