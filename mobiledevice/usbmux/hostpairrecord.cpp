#include "hostpairrecord.h"

#include "opensslpointers.h"

#include <openssl/bio.h>
#include <openssl/decoder.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <array>
#include <cstdio>
#include <memory>

namespace plovik::usbmux {

namespace {

constexpr long kTenYears = 60L * 60 * 24 * 365 * 10;

std::string bioText(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

std::string certificatePem(X509* certificate) {
    const Bio bio(BIO_new(BIO_s_mem()));
    return bio && PEM_write_bio_X509(bio.get(), certificate) == 1 ? bioText(bio.get()) : "";
}

std::string privateKeyPem(EVP_PKEY* key) {
    const Bio bio(BIO_new(BIO_s_mem()));
    return bio && PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) ==
                       1
               ? bioText(bio.get())
               : "";
}

Key readPrivateKey(const std::string& pem) {
    const Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return Key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

// The device gives its key as PKCS#1 ("BEGIN RSA PUBLIC KEY"), which the PUBKEY readers refuse.
Key readRsaPublicKey(const std::string& pem) {
    EVP_PKEY* key = nullptr;
    OSSL_DECODER_CTX* decoder = OSSL_DECODER_CTX_new_for_pkey(
        &key, "PEM", nullptr, "RSA", EVP_PKEY_PUBLIC_KEY, nullptr, nullptr);
    if (decoder == nullptr) {
        return nullptr;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(pem.data());
    std::size_t length = pem.size();
    OSSL_DECODER_from_data(decoder, &data, &length);
    OSSL_DECODER_CTX_free(decoder);
    return Key(key);
}

bool addExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, nullptr, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr) {
        return false;
    }
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// A certificate for subjectKey signed with signingKey; the names stay empty, as devices expect
// nothing of them.
Certificate makeCertificate(EVP_PKEY* subjectKey, EVP_PKEY* signingKey,
                            std::initializer_list<std::pair<int, const char*>> extensions) {
    Certificate certificate(X509_new());
    if (!certificate || X509_set_version(certificate.get(), 2) != 1 ||
        ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 0) != 1 ||
        X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0) == nullptr ||
        X509_gmtime_adj(X509_getm_notAfter(certificate.get()), kTenYears) == nullptr ||
        X509_set_pubkey(certificate.get(), subjectKey) != 1) {
        return nullptr;
    }
    for (const auto& [nid, value] : extensions) {
        if (!addExtension(certificate.get(), nid, value)) {
            return nullptr;
        }
    }
    if (X509_sign(certificate.get(), signingKey, EVP_sha256()) == 0) {
        return nullptr;
    }
    return certificate;
}

std::string newUuid() {
    std::array<unsigned char, 16> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
        return {};
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    std::string text;
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        if (index == 4 || index == 6 || index == 8 || index == 10) {
            text += '-';
        }
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", bytes[index]);
        text += digits;
    }
    return text;
}

void setData(plist_t dictionary, const char* key, const std::string& text) {
    plist_dict_set_item(dictionary, key, plist_new_data(text.data(), text.size()));
}

}  // namespace

std::optional<HostPairRecord> HostPairRecord::make(const std::string& devicePublicKey,
                                                   std::string systemBuid) {
    if (!readRsaPublicKey(devicePublicKey)) {
        return std::nullopt;
    }
    const Key rootKey(EVP_RSA_gen(2048));
    const Key hostKey(EVP_RSA_gen(2048));
    if (!rootKey || !hostKey) {
        return std::nullopt;
    }
    const Certificate root = makeCertificate(rootKey.get(), rootKey.get(),
                                             {{NID_basic_constraints, "critical,CA:TRUE"}});
    const Certificate host =
        makeCertificate(hostKey.get(), rootKey.get(),
                        {{NID_basic_constraints, "critical,CA:FALSE"},
                         {NID_key_usage, "critical,digitalSignature,keyEncipherment"}});
    if (!root || !host) {
        return std::nullopt;
    }
    HostPairRecord record;
    record.hostId = newUuid();
    record.systemBuid = std::move(systemBuid);
    record.rootCertificate = certificatePem(root.get());
    record.rootPrivateKey = privateKeyPem(rootKey.get());
    record.hostCertificate = certificatePem(host.get());
    record.hostPrivateKey = privateKeyPem(hostKey.get());
    if (record.hostId.empty() || record.rootCertificate.empty() || record.rootPrivateKey.empty() ||
        record.hostCertificate.empty() || record.hostPrivateKey.empty() ||
        !record.certifyDevice(devicePublicKey)) {
        return std::nullopt;
    }
    return record;
}

bool HostPairRecord::certifyDevice(const std::string& newDevicePublicKey) {
    const Key deviceKey = readRsaPublicKey(newDevicePublicKey);
    const Key rootKey = readPrivateKey(rootPrivateKey);
    if (!deviceKey || !rootKey) {
        return false;
    }
    const Certificate device =
        makeCertificate(deviceKey.get(), rootKey.get(),
                        {{NID_basic_constraints, "critical,CA:FALSE"},
                         {NID_subject_key_identifier, "hash"},
                         {NID_key_usage, "critical,digitalSignature,keyEncipherment"}});
    std::string pem = device ? certificatePem(device.get()) : "";
    if (pem.empty()) {
        return false;
    }
    deviceCertificate = std::move(pem);
    devicePublicKey = newDevicePublicKey;
    return true;
}

plist_t HostPairRecord::toStoredPlist() const {
    const plist_t record = plist_new_dict();
    setData(record, "DeviceCertificate", deviceCertificate);
    setData(record, "HostCertificate", hostCertificate);
    setData(record, "HostPrivateKey", hostPrivateKey);
    setData(record, "RootCertificate", rootCertificate);
    setData(record, "RootPrivateKey", rootPrivateKey);
    plist_dict_set_item(record, "HostID", plist_new_string(hostId.c_str()));
    plist_dict_set_item(record, "SystemBUID", plist_new_string(systemBuid.c_str()));
    return record;
}

}  // namespace plovik::usbmux
