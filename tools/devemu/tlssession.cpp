#include "tlssession.h"

#include "devicekey.h"
#include "socketio.h"

#include <openssl/err.h>
#include <openssl/x509.h>

#include <cstdio>

namespace plovik::devemu {

namespace {

constexpr std::size_t kRecordHeaderBytes = 5;
// The largest TLS 1.2 ciphertext record (2^14 + 2048); TLS 1.3 records are smaller.
constexpr std::size_t kLargestRecordBody = (1 << 14) + 2048;

// Replaces the chain check: the host's certificate must be the pairing's root certificate,
// which nothing signs but itself.
int acceptOnlyHostRoot(X509_STORE_CTX* store, void* hostRoot) {
    X509* presented = X509_STORE_CTX_get0_cert(store);
    if (presented == nullptr || X509_cmp(presented, static_cast<X509*>(hostRoot)) != 0) {
        X509_STORE_CTX_set_error(store, X509_V_ERR_CERT_REJECTED);
        return 0;
    }
    return 1;
}

X509Pointer certificateFromDer(const std::string& der) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(der.data());
    return X509Pointer(d2i_X509(nullptr, &bytes, static_cast<long>(der.size())));
}

// A certificate of the device's key for itself, for a handshake that no host sees.
X509Pointer selfSigned(EVP_PKEY* key) {
    X509Pointer certificate(X509_new());
    if (!certificate) {
        return nullptr;
    }
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 60);
    X509_set_pubkey(certificate.get(), key);
    X509_sign(certificate.get(), key, EVP_sha256());
    return certificate;
}

}  // namespace

void TlsSession::prepare() {
    // One handshake of the engine with itself, in memory: OpenSSL does much of its work the first
    // time each step runs (the key shares, the key schedule, the device key's signatures), and a
    // device's lockdownd has run sessions long before the first host comes.
    EVP_PKEY* key = DeviceKey::shared().privateKey();
    const X509Pointer certificate = selfSigned(key);
    const SslContextPointer serverContext(SSL_CTX_new(TLS_server_method()));
    const SslContextPointer clientContext(SSL_CTX_new(TLS_client_method()));
    if (!certificate || !serverContext || !clientContext ||
        SSL_CTX_use_certificate(serverContext.get(), certificate.get()) != 1 ||
        SSL_CTX_use_PrivateKey(serverContext.get(), key) != 1) {
        ERR_clear_error();
        return;
    }
    const SslPointer server(SSL_new(serverContext.get()));
    const SslPointer client(SSL_new(clientContext.get()));
    BIO* serverEnd = nullptr;
    BIO* clientEnd = nullptr;
    if (!server || !client || BIO_new_bio_pair(&serverEnd, 0, &clientEnd, 0) != 1) {
        ERR_clear_error();
        return;
    }
    // Each engine owns its end from here on.
    SSL_set_bio(server.get(), serverEnd, serverEnd);
    SSL_set_bio(client.get(), clientEnd, clientEnd);
    SSL_set_accept_state(server.get());
    SSL_set_connect_state(client.get());
    // A TLS 1.3 handshake takes two flights each way; a few more rounds cover a failure.
    for (int round = 0; round < 8; ++round) {
        const bool clientDone = SSL_do_handshake(client.get()) == 1;
        const bool serverDone = SSL_do_handshake(server.get()) == 1;
        if (clientDone && serverDone) {
            break;
        }
    }
    ERR_clear_error();
}

std::unique_ptr<TlsSession> TlsSession::accept(int socket, EmulatedDevice& device,
                                               const Pairing& pairing) {
    std::unique_ptr<TlsSession> session(new TlsSession(socket, device, pairing));
    if (!session->handshake()) {
        // A host that went away says nothing worth a line.
        if (const unsigned long error = ERR_get_error(); error != 0) {
            char reason[256];
            ERR_error_string_n(error, reason, sizeof reason);
            std::fprintf(stderr, "plovik-devemu: device %u: TLS handshake failed: %s\n",
                         device.id(), reason);
        }
        return nullptr;
    }
    return session;
}

TlsSession::TlsSession(int socket, EmulatedDevice& device, const Pairing& pairing)
    : socket_(socket),
      device_(device),
      hostRoot_(certificateFromDer(pairing.rootCertificate())),
      context_(SSL_CTX_new(TLS_server_method())) {
    const auto& deviceCertificate = pairing.deviceCertificate();
    if (!context_ || !hostRoot_ ||
        SSL_CTX_use_certificate_ASN1(
            context_.get(), static_cast<int>(deviceCertificate.size()),
            reinterpret_cast<const unsigned char*>(deviceCertificate.data())) != 1 ||
        SSL_CTX_use_PrivateKey(context_.get(), DeviceKey::shared().privateKey()) != 1) {
        return;
    }
    // The host's certificates are signed with SHA-1, as libimobiledevice makes them.
    SSL_CTX_set_security_level(context_.get(), 0);
    SSL_CTX_set_min_proto_version(context_.get(),
                                  device.faults().onlyTls13() ? TLS1_3_VERSION : TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(context_.get(), TLS1_3_VERSION);
    SSL_CTX_set_options(context_.get(), SSL_OP_NO_TICKET);
    SSL_CTX_set_num_tickets(context_.get(), 0);
    SSL_CTX_set_session_cache_mode(context_.get(), SSL_SESS_CACHE_OFF);
    SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
    SSL_CTX_set_cert_verify_callback(context_.get(), acceptOnlyHostRoot, hostRoot_.get());
    ssl_.reset(SSL_new(context_.get()));
    if (!ssl_) {
        return;
    }
    incoming_ = BIO_new(BIO_s_mem());
    outgoing_ = BIO_new(BIO_s_mem());
    // The engine owns both from here on.
    SSL_set_bio(ssl_.get(), incoming_, outgoing_);
    SSL_set_accept_state(ssl_.get());
}

bool TlsSession::handshake() {
    if (!ssl_) {
        return false;
    }
    ERR_clear_error();
    for (;;) {
        const int result = SSL_do_handshake(ssl_.get());
        const int error = SSL_get_error(ssl_.get(), result);
        // The engine's last flight, or its alert when the handshake failed.
        if (!flush()) {
            return false;
        }
        if (result == 1) {
            return true;
        }
        if (error != SSL_ERROR_WANT_READ || !feedRecord()) {
            return false;
        }
    }
}

TlsSession::Received TlsSession::read(void* buffer, std::size_t length) {
    auto* position = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        std::size_t count = 0;
        const int result = SSL_read_ex(ssl_.get(), position + done, length - done, &count);
        const int error = SSL_get_error(ssl_.get(), result);
        if (!flush()) {
            return Received::Failed;
        }
        if (result == 1) {
            done += count;
        } else if (error == SSL_ERROR_ZERO_RETURN) {
            return done == 0 ? Received::HostClosed : Received::Failed;
        } else if (error != SSL_ERROR_WANT_READ || !feedRecord()) {
            return Received::Failed;
        }
    }
    return Received::Data;
}

bool TlsSession::write(const std::string& bytes) {
    std::size_t written = 0;
    // A memory sink takes every record at once: the write is whole or fails.
    return SSL_write_ex(ssl_.get(), bytes.data(), bytes.size(), &written) == 1 && flush();
}

bool TlsSession::answerClose() {
    SSL_shutdown(ssl_.get());
    return flush();
}

std::string TlsSession::version() const {
    return SSL_get_version(ssl_.get());
}

bool TlsSession::feedRecord() {
    unsigned char header[kRecordHeaderBytes];
    if (!readExactly(socket_, header, sizeof header)) {
        return false;
    }
    const std::size_t length = (std::size_t{header[3]} << 8) | header[4];
    if (length > kLargestRecordBody) {
        return false;
    }
    std::string record(reinterpret_cast<const char*>(header), sizeof header);
    record.resize(sizeof header + length);
    if (!readExactly(socket_, record.data() + sizeof header, length)) {
        return false;
    }
    return BIO_write(incoming_, record.data(), static_cast<int>(record.size())) ==
           static_cast<int>(record.size());
}

bool TlsSession::flush() {
    char* bytes = nullptr;
    const long pending = BIO_get_mem_data(outgoing_, &bytes);
    if (pending <= 0) {
        return true;
    }
    const std::string records(bytes, static_cast<std::size_t>(pending));
    BIO_reset(outgoing_);
    return device_.send(socket_, records);
}

}  // namespace plovik::devemu
