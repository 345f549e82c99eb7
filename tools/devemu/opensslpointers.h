// Owning pointers to the OpenSSL objects of the emulator's pairing and TLS code.
#ifndef PLOVIK_DEVEMU_OPENSSLPOINTERS_H
#define PLOVIK_DEVEMU_OPENSSLPOINTERS_H

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>

namespace plovik::devemu {

template <auto Free>
struct OpenSslDeleter {
    template <typename T>
    void operator()(T* object) const {
        Free(object);
    }
};

using BioPointer = std::unique_ptr<BIO, OpenSslDeleter<BIO_free_all>>;
using KeyPointer = std::unique_ptr<EVP_PKEY, OpenSslDeleter<EVP_PKEY_free>>;
using X509Pointer = std::unique_ptr<X509, OpenSslDeleter<X509_free>>;
using SslContextPointer = std::unique_ptr<SSL_CTX, OpenSslDeleter<SSL_CTX_free>>;
using SslPointer = std::unique_ptr<SSL, OpenSslDeleter<SSL_free>>;

}  // namespace plovik::devemu

#endif
