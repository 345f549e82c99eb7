// The host's pair record: certificates a device can check, a record libimobiledevice can use.
#include "hostpairrecord.h"

#include <gtest/gtest.h>
#include <openssl/encoder.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <string>

using plovik::usbmux::HostPairRecord;

namespace {

struct X509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Certificate = std::unique_ptr<X509, X509Deleter>;
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;

Certificate certificate(const std::string& pem) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    Certificate read(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr));
    BIO_free(bio);
    return read;
}

Key privateKey(const std::string& pem) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    Key read(PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr));
    BIO_free(bio);
    return read;
}

// A device's key as the device gives it: PKCS#1, "BEGIN RSA PUBLIC KEY".
std::pair<Key, std::string> deviceKey() {
    Key key(EVP_RSA_gen(1024));
    OSSL_ENCODER_CTX* encoder = OSSL_ENCODER_CTX_new_for_pkey(key.get(), EVP_PKEY_PUBLIC_KEY, "PEM",
                                                              "type-specific", nullptr);
    unsigned char* data = nullptr;
    std::size_t length = 0;
    OSSL_ENCODER_to_data(encoder, &data, &length);
    OSSL_ENCODER_CTX_free(encoder);
    std::string pem(reinterpret_cast<const char*>(data), length);
    OPENSSL_free(data);
    EXPECT_EQ(0u, pem.find("-----BEGIN RSA PUBLIC KEY-----"));
    return {std::move(key), pem};
}

bool samePublicKey(X509* certificate, EVP_PKEY* key) {
    return EVP_PKEY_eq(X509_get0_pubkey(certificate), key) == 1;
}

}  // namespace

TEST(HostPairRecord, CertifiesTheDeviceKeyUnderItsOwnRoot) {
    const auto [key, pem] = deviceKey();
    const std::optional<HostPairRecord> record = HostPairRecord::make(pem, "BUID-1");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(36u, record->hostId.size());
    EXPECT_EQ("BUID-1", record->systemBuid);

    const Certificate root = certificate(record->rootCertificate);
    const Certificate host = certificate(record->hostCertificate);
    const Certificate device = certificate(record->deviceCertificate);
    const Key rootKey = privateKey(record->rootPrivateKey);
    const Key hostKey = privateKey(record->hostPrivateKey);
    ASSERT_TRUE(root && host && device && rootKey && hostKey);
    EXPECT_TRUE(samePublicKey(root.get(), rootKey.get()));
    EXPECT_TRUE(samePublicKey(host.get(), hostKey.get()));
    EXPECT_TRUE(samePublicKey(device.get(), key.get()));
    for (X509* signedByRoot : {root.get(), host.get(), device.get()}) {
        EXPECT_EQ(1, X509_verify(signedByRoot, X509_get0_pubkey(root.get())));
    }
    EXPECT_EQ(1, X509_check_ca(root.get()));
    EXPECT_EQ(0, X509_check_ca(device.get()));

    // What usbmuxd keeps: certificates and keys as data, the identities as strings.
    const plist_t stored = record->toStoredPlist();
    for (const char* name : {"DeviceCertificate", "HostCertificate", "HostPrivateKey",
                             "RootCertificate", "RootPrivateKey"}) {
        EXPECT_EQ(PLIST_DATA, plist_get_node_type(plist_dict_get_item(stored, name))) << name;
    }
    EXPECT_EQ(record->hostId, plist_get_string_ptr(plist_dict_get_item(stored, "HostID"), nullptr));
    plist_free(stored);
}

TEST(HostPairRecord, ANewDeviceKeyKeepsTheRootAndAnUnreadableKeyIsRefused) {
    const auto [firstKey, firstPem] = deviceKey();
    std::optional<HostPairRecord> record = HostPairRecord::make(firstPem, "");
    ASSERT_TRUE(record.has_value());
    const std::string root = record->rootCertificate;
    const std::string hostId = record->hostId;

    const auto [secondKey, secondPem] = deviceKey();
    ASSERT_TRUE(record->certifyDevice(secondPem));
    EXPECT_EQ(root, record->rootCertificate);
    EXPECT_EQ(hostId, record->hostId);
    EXPECT_TRUE(samePublicKey(certificate(record->deviceCertificate).get(), secondKey.get()));

    const std::string before = record->deviceCertificate;
    EXPECT_FALSE(record->certifyDevice("-----BEGIN RSA PUBLIC KEY-----\nnot a key\n"));
    EXPECT_EQ(before, record->deviceCertificate);
    EXPECT_FALSE(HostPairRecord::make("", "").has_value());
}
