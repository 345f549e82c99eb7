#include "pairing.h"

#include "plistitems.h"

#include <openssl/pem.h>

namespace plovik::devemu {

namespace {

X509Pointer certificateItem(plist_t record, const char* key) {
    const plist_t item = plist_dict_get_item(record, key);
    if (plist_get_node_type(item) != PLIST_DATA) {
        return nullptr;
    }
    uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(item, &length);
    const BioPointer pem(BIO_new_mem_buf(bytes, static_cast<int>(length)));
    return X509Pointer(PEM_read_bio_X509(pem.get(), nullptr, nullptr, nullptr));
}

std::string der(X509* certificate) {
    unsigned char* bytes = nullptr;
    const int length = i2d_X509(certificate, &bytes);
    std::string encoded = length > 0 ? std::string(reinterpret_cast<char*>(bytes), length) : "";
    OPENSSL_free(bytes);
    return encoded;
}

bool signedBy(X509* certificate, EVP_PKEY* signer) {
    return X509_verify(certificate, signer) == 1;
}

}  // namespace

std::optional<Pairing> Pairing::fromPairRecord(plist_t record, const DeviceKey& deviceKey) {
    if (plist_get_node_type(record) != PLIST_DICT) {
        return std::nullopt;
    }
    std::string hostId = stringItem(record, "HostID");
    const X509Pointer root = certificateItem(record, "RootCertificate");
    const X509Pointer host = certificateItem(record, "HostCertificate");
    const X509Pointer device = certificateItem(record, "DeviceCertificate");
    if (hostId.empty() || !root || !host || !device) {
        return std::nullopt;
    }
    EVP_PKEY* rootKey = X509_get0_pubkey(root.get());
    if (rootKey == nullptr || !signedBy(device.get(), rootKey) || !signedBy(host.get(), rootKey) ||
        !deviceKey.isPublicHalf(X509_get0_pubkey(device.get()))) {
        return std::nullopt;
    }
    return Pairing(std::move(hostId), der(root.get()), der(device.get()));
}

}  // namespace plovik::devemu
