#include "pairing.h"

#include "plistitems.h"

#include <openssl/pem.h>

namespace plovik::devemu {

namespace {

X509Pointer certificateItem(plist_t record, const char* key) {
    const std::string bytes = dataItem(record, key);
    const BioPointer pem(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
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

std::optional<Pairing> Pairing::fromKept(const std::string& kept) {
    const Plist values = fromBytes(kept);
    if (plist_get_node_type(values.get()) != PLIST_DICT) {
        return std::nullopt;
    }
    std::string hostId = stringItem(values.get(), "HostID");
    std::string root = dataItem(values.get(), "RootCertificate");
    std::string device = dataItem(values.get(), "DeviceCertificate");
    if (hostId.empty() || root.empty() || device.empty()) {
        return std::nullopt;
    }
    return Pairing(std::move(hostId), std::move(root), std::move(device));
}

std::string Pairing::toKept() const {
    const Plist values(plist_new_dict());
    plist_dict_set_item(values.get(), "HostID", plist_new_string(hostId_.c_str()));
    plist_dict_set_item(values.get(), "RootCertificate",
                        plist_new_data(rootCertificate_.data(), rootCertificate_.size()));
    plist_dict_set_item(values.get(), "DeviceCertificate",
                        plist_new_data(deviceCertificate_.data(), deviceCertificate_.size()));
    return toXml(values.get());
}

}  // namespace plovik::devemu
