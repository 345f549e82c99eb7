#include "lockdownchannel.h"

#include "opensslpointers.h"
#include "serviceconnection.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace plovik::usbmux {

namespace {

constexpr size_t kLengthPrefix = 4;

Bio memoryOf(const std::string& text) {
    return Bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

// Loads what it can, as libimobiledevice does: a record without them fails in the handshake.
void presentCredentials(SSL_CTX* context, const std::string& certificatePem,
                        const std::string& keyPem) {
    if (!certificatePem.empty()) {
        const auto bio = memoryOf(certificatePem);
        const Certificate certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        if (certificate) {
            SSL_CTX_use_certificate(context, certificate.get());
        }
    }
    if (!keyPem.empty()) {
        const auto bio = memoryOf(keyPem);
        const Key key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
        if (key) {
            SSL_CTX_use_PrivateKey(context, key.get());
        }
    }
    ERR_clear_error();
}

lockdownd_error_t parseMessage(const std::vector<char>& body, PlistHandle* message) {
    static constexpr char kBinary[] = "bplist00";
    static constexpr char kXml[] = "<?xml";
    plist_t parsed = nullptr;
    const auto length = static_cast<uint32_t>(body.size());
    if (body.size() >= sizeof kBinary - 1 &&
        std::memcmp(body.data(), kBinary, sizeof kBinary - 1) == 0) {
        plist_from_bin(body.data(), length, &parsed);
    } else if (body.size() >= sizeof kXml - 1 &&
               std::memcmp(body.data(), kXml, sizeof kXml - 1) == 0) {
        plist_from_xml(body.data(), length, &parsed);
    }
    PlistHandle owned(parsed);
    if (plist_get_node_type(parsed) != PLIST_DICT) {
        return LOCKDOWN_E_PLIST_ERROR;
    }
    *message = std::move(owned);
    return LOCKDOWN_E_SUCCESS;
}

}  // namespace

std::unique_ptr<LockdownChannel> LockdownChannel::open(idevice_t device,
                                                       lockdownd_error_t* error) {
    idevice_connection_t connection = nullptr;
    int socket = -1;
    if (idevice_connect(device, kLockdownPort, &connection) != IDEVICE_E_SUCCESS) {
        *error = LOCKDOWN_E_MUX_ERROR;
        return nullptr;
    }
    if (idevice_connection_get_fd(connection, &socket) != IDEVICE_E_SUCCESS) {
        idevice_disconnect(connection);
        *error = LOCKDOWN_E_MUX_ERROR;
        return nullptr;
    }
    const uint32_t override = ServiceConnection::receiveTimeoutOverrideMs();
    *error = LOCKDOWN_E_SUCCESS;
    return std::unique_ptr<LockdownChannel>(new LockdownChannel(
        connection, socket,
        override != 0 ? override : ServiceConnection::kDefaultReceiveTimeoutMs));
}

LockdownChannel::LockdownChannel(idevice_connection_t connection, int socket, uint32_t timeoutMs)
    : connection_(connection), socket_(socket), timeoutMs_(timeoutMs) {}

LockdownChannel::~LockdownChannel() {
    if (ssl_) {
        // One-way, as libimobiledevice ends it: the connection is not read again.
        ERR_clear_error();
        SSL_shutdown(ssl_.get());
        ssl_.reset();
        ERR_clear_error();
    }
    idevice_disconnect(connection_);
}

LockdownChannel::Deadline LockdownChannel::deadline() const {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
}

bool LockdownChannel::wait(short events, Deadline until) const {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd ready{socket_, events, 0};
        const int result = poll(&ready, 1, static_cast<int>(left.count()));
        if (result > 0) {
            return true;  // readiness, or a hang-up or error the next call reports
        }
        if (result == 0 || errno != EINTR) {
            return false;
        }
    }
}

lockdownd_error_t LockdownChannel::send(plist_t message) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(message, &xml, &length);
    const std::unique_ptr<char, decltype(&std::free)> owned(xml, &std::free);
    if (xml == nullptr || length == 0) {
        return LOCKDOWN_E_PLIST_ERROR;
    }
    // The length and the plist in one write: a device reads the prefix with one receive.
    std::vector<char> framed(kLengthPrefix + length);
    framed[0] = static_cast<char>(length >> 24);
    framed[1] = static_cast<char>(length >> 16);
    framed[2] = static_cast<char>(length >> 8);
    framed[3] = static_cast<char>(length);
    std::memcpy(framed.data() + kLengthPrefix, xml, length);
    return write(framed.data(), framed.size());
}

lockdownd_error_t LockdownChannel::receive(PlistHandle* message) {
    unsigned char prefix[kLengthPrefix];
    if (const lockdownd_error_t error = read(reinterpret_cast<char*>(prefix), sizeof prefix);
        error != LOCKDOWN_E_SUCCESS) {
        return error;
    }
    const uint32_t length = (uint32_t{prefix[0]} << 24) | (uint32_t{prefix[1]} << 16) |
                            (uint32_t{prefix[2]} << 8) | uint32_t{prefix[3]};
    if (length == 0 || length > kLargestMessage) {
        return LOCKDOWN_E_PLIST_ERROR;
    }
    std::vector<char> body(length);
    if (const lockdownd_error_t error = read(body.data(), body.size());
        error != LOCKDOWN_E_SUCCESS) {
        return error;
    }
    return parseMessage(body, message);
}

lockdownd_error_t LockdownChannel::startTls(const std::string& certificatePem,
                                            const std::string& keyPem, bool tls10Only) {
    if (ssl_) {
        return LOCKDOWN_E_SSL_ERROR;
    }
    ERR_clear_error();
    // Nothing here shows an error's text, so OpenSSL's tables of them, up to a millisecond and a
    // half of the first session's start, are never loaded.
    OPENSSL_init_ssl(OPENSSL_INIT_NO_LOAD_SSL_STRINGS | OPENSSL_INIT_NO_LOAD_CRYPTO_STRINGS,
                     nullptr);
    const SslContext context(SSL_CTX_new(TLS_client_method()));
    if (!context) {
        return LOCKDOWN_E_SSL_ERROR;
    }
    // Devices' certificates are self-made and their older ciphers weak; nothing is verified.
    SSL_CTX_set_security_level(context.get(), 0);
    SSL_CTX_set_min_proto_version(context.get(), TLS1_VERSION);
    if (tls10Only) {
        SSL_CTX_set_max_proto_version(context.get(), TLS1_VERSION);
    }
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_NONE, nullptr);
    presentCredentials(context.get(), certificatePem, keyPem);
    // The session holds its own reference to the context.
    ssl_.reset(SSL_new(context.get()));
    if (!ssl_ || SSL_set_fd(ssl_.get(), socket_) != 1) {
        ssl_.reset();
        ERR_clear_error();
        return LOCKDOWN_E_SSL_ERROR;
    }
    SSL_set_connect_state(ssl_.get());
    const Deadline until = deadline();
    for (;;) {
        ERR_clear_error();
        bool retry = false;
        const lockdownd_error_t error = awaitTls(SSL_do_handshake(ssl_.get()), until, &retry);
        if (!retry) {
            // A failed handshake leaves nothing to close politely.
            if (error != LOCKDOWN_E_SUCCESS) {
                ssl_.reset();
            }
            ERR_clear_error();
            return error;
        }
    }
}

lockdownd_error_t LockdownChannel::awaitTls(int result, Deadline until, bool* retry) {
    *retry = false;
    if (result > 0) {
        return LOCKDOWN_E_SUCCESS;
    }
    switch (SSL_get_error(ssl_.get(), result)) {
        case SSL_ERROR_WANT_READ:
            *retry = wait(POLLIN, until);
            return LOCKDOWN_E_RECEIVE_TIMEOUT;
        case SSL_ERROR_WANT_WRITE:
            *retry = wait(POLLOUT, until);
            return LOCKDOWN_E_RECEIVE_TIMEOUT;
        case SSL_ERROR_ZERO_RETURN:
        case SSL_ERROR_SYSCALL:
            return LOCKDOWN_E_MUX_ERROR;  // the device closed the connection
        default:
            return LOCKDOWN_E_SSL_ERROR;
    }
}

lockdownd_error_t LockdownChannel::write(const char* bytes, size_t length) {
    if (!ssl_) {
        return writePlain(bytes, length);
    }
    const Deadline until = deadline();
    for (;;) {
        ERR_clear_error();
        bool retry = false;
        const lockdownd_error_t error =
            awaitTls(SSL_write(ssl_.get(), bytes, static_cast<int>(length)), until, &retry);
        if (!retry) {
            return error;  // SSL_write sends all or nothing
        }
    }
}

lockdownd_error_t LockdownChannel::read(char* buffer, size_t length) {
    if (!ssl_) {
        return readPlain(buffer, length);
    }
    const Deadline until = deadline();
    size_t got = 0;
    while (got < length) {
        ERR_clear_error();
        const int result = SSL_read(ssl_.get(), buffer + got, static_cast<int>(length - got));
        bool retry = false;
        const lockdownd_error_t error = awaitTls(result, until, &retry);
        if (result > 0) {
            got += static_cast<size_t>(result);
        } else if (!retry) {
            return error;
        }
    }
    return LOCKDOWN_E_SUCCESS;
}

lockdownd_error_t LockdownChannel::writePlain(const char* bytes, size_t length) {
    const Deadline until = deadline();
    size_t sent = 0;
    while (sent < length) {
        const ssize_t result =
            ::send(socket_, bytes + sent, length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (result > 0) {
            sent += static_cast<size_t>(result);
        } else if (result < 0 && errno == EINTR) {
            continue;
        } else if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!wait(POLLOUT, until)) {
                return LOCKDOWN_E_RECEIVE_TIMEOUT;
            }
        } else {
            return LOCKDOWN_E_MUX_ERROR;
        }
    }
    return LOCKDOWN_E_SUCCESS;
}

lockdownd_error_t LockdownChannel::readPlain(char* buffer, size_t length) {
    const Deadline until = deadline();
    size_t got = 0;
    while (got < length) {
        const ssize_t result = ::recv(socket_, buffer + got, length - got, MSG_DONTWAIT);
        if (result > 0) {
            got += static_cast<size_t>(result);
        } else if (result < 0 && errno == EINTR) {
            continue;
        } else if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!wait(POLLIN, until)) {
                return LOCKDOWN_E_RECEIVE_TIMEOUT;
            }
        } else {
            return LOCKDOWN_E_MUX_ERROR;  // closed by the device, or failed
        }
    }
    return LOCKDOWN_E_SUCCESS;
}

}  // namespace plovik::usbmux
