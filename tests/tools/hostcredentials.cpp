#include "hostcredentials.h"

#include <openssl/decoder.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <initializer_list>
#include <utility>

namespace devemutest {

using namespace plovik::devemu;

namespace {

constexpr long kTenYears = 60L * 60 * 24 * 365 * 10;

KeyPointer newKey() {
    return KeyPointer(EVP_RSA_gen(1024));
}

KeyPointer publicKeyFromPkcs1(const std::string& pem) {
    EVP_PKEY* key = nullptr;
    OSSL_DECODER_CTX* decoder = OSSL_DECODER_CTX_new_for_pkey(
        &key, "PEM", "type-specific", "RSA", EVP_PKEY_PUBLIC_KEY, nullptr, nullptr);
    const auto* bytes = reinterpret_cast<const unsigned char*>(pem.data());
    std::size_t length = pem.size();
    OSSL_DECODER_from_data(decoder, &bytes, &length);
    OSSL_DECODER_CTX_free(decoder);
    return KeyPointer(key);
}

void addExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, nullptr, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// Serial 0, version 3, valid for ten years from now, no names: as userpref.c makes them.
X509Pointer certificate(EVP_PKEY* subject, EVP_PKEY* signer,
                        std::initializer_list<std::pair<int, const char*>> extensions) {
    X509Pointer made(X509_new());
    ASN1_INTEGER_set(X509_get_serialNumber(made.get()), 0);
    X509_set_version(made.get(), 2);
    X509_set_pubkey(made.get(), subject);
    for (const auto& [nid, value] : extensions) {
        addExtension(made.get(), nid, value);
    }
    std::time_t now = std::time(nullptr);
    X509_time_adj_ex(X509_getm_notBefore(made.get()), 0, 0, &now);
    X509_time_adj_ex(X509_getm_notAfter(made.get()), 0, kTenYears, &now);
    X509_sign(made.get(), signer, EVP_sha1());
    return made;
}

}  // namespace

HostCredentials::HostCredentials(const std::string& hostId, const std::string& devicePublicKeyPem)
    : hostId_(hostId), rootKey_(newKey()), hostKey_(newKey()) {
    rootCertificate_ =
        certificate(rootKey_.get(), rootKey_.get(), {{NID_basic_constraints, "critical,CA:TRUE"}});
    hostCertificate_ = certificate(hostKey_.get(), rootKey_.get(),
                                   {{NID_basic_constraints, "critical,CA:FALSE"},
                                    {NID_key_usage, "critical,digitalSignature,keyEncipherment"}});
    if (const KeyPointer deviceKey = publicKeyFromPkcs1(devicePublicKeyPem)) {
        deviceCertificate_ =
            certificate(deviceKey.get(), rootKey_.get(),
                        {{NID_basic_constraints, "critical,CA:FALSE"},
                         {NID_subject_key_identifier, "hash"},
                         {NID_key_usage, "critical,digitalSignature,keyEncipherment"}});
    }
}

Plist HostCredentials::pairRecord() const {
    Plist record(plist_new_dict());
    replaceCertificate(record.get(), "RootCertificate", rootCertificate_.get());
    replaceCertificate(record.get(), "HostCertificate", hostCertificate_.get());
    replaceCertificate(record.get(), "DeviceCertificate", deviceCertificate_.get());
    plist_dict_set_item(record.get(), "HostID", plist_new_string(hostId_.c_str()));
    plist_dict_set_item(record.get(), "SystemBUID",
                        plist_new_string("00000000-0000-0000-0000-0000DE7E4D00"));
    return record;
}

void replaceCertificate(plist_t record, const char* key, X509* certificate) {
    const BioPointer pem(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(pem.get(), certificate);
    char* bytes = nullptr;
    const long length = BIO_get_mem_data(pem.get(), &bytes);
    plist_dict_set_item(record, key, plist_new_data(bytes, static_cast<uint64_t>(length)));
}

}  // namespace devemutest
