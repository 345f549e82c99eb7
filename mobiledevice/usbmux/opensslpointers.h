// Owning pointers to the OpenSSL objects of the host's pairing record and the lockdown channel.
#ifndef PLOVIK_USBMUX_OPENSSLPOINTERS_H
#define PLOVIK_USBMUX_OPENSSLPOINTERS_H

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>

namespace plovik::usbmux {

template <auto Free>
struct OpenSslDeleter {
    template <typename T>
    void operator()(T* object) const {
        Free(object);
    }
};

using Key = std::unique_ptr<EVP_PKEY, OpenSslDeleter<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, OpenSslDeleter<X509_free>>;
using Bio = std::unique_ptr<BIO, OpenSslDeleter<BIO_free>>;
using SslContext = std::unique_ptr<SSL_CTX, OpenSslDeleter<SSL_CTX_free>>;
using Ssl = std::unique_ptr<SSL, OpenSslDeleter<SSL_free>>;

}  // namespace plovik::usbmux

#endif
