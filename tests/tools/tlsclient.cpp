#include "tlsclient.h"

#include "plistframing.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <sys/socket.h>

#include <csignal>
#include <cstdint>

namespace devemutest {

using namespace plovik::devemu;

TlsClient::TlsClient(int socket, X509* certificate, EVP_PKEY* key, int minVersion, int maxVersion)
    : context_(SSL_CTX_new(TLS_client_method())) {
    // Under TLS 1.3 a client learns that the device refused its certificate only when it writes
    // next, to a closed socket: that must be a failed write, not SIGPIPE ending the tests.
    std::signal(SIGPIPE, SIG_IGN);
    // A device that stops answering fails the test instead of hanging it.
    const timeval timeout{5, 0};
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    SSL_CTX_set_security_level(context_.get(), 0);
    SSL_CTX_set_min_proto_version(context_.get(), minVersion);
    SSL_CTX_set_max_proto_version(context_.get(), maxVersion);
    if (certificate != nullptr) {
        SSL_CTX_use_certificate(context_.get(), certificate);
        SSL_CTX_use_PrivateKey(context_.get(), key);
    }
    ssl_.reset(SSL_new(context_.get()));
    SSL_set_fd(ssl_.get(), socket);
    SSL_set_connect_state(ssl_.get());
}

bool TlsClient::handshake() {
    ERR_clear_error();
    return SSL_do_handshake(ssl_.get()) == 1;
}

std::string TlsClient::version() const {
    return SSL_get_version(ssl_.get());
}

Plist TlsClient::exchange(plist_t request) {
    const std::string packet = framedPlist(request);
    std::size_t written = 0;
    if (SSL_write_ex(ssl_.get(), packet.data(), packet.size(), &written) != 1) {
        return nullptr;
    }
    uint32_t length = 0;
    if (!readExactly(&length, sizeof length)) {
        return nullptr;
    }
    std::string message(ntohl(length), '\0');
    if (!readExactly(message.data(), message.size())) {
        return nullptr;
    }
    return fromBytes(message);
}

bool TlsClient::sendCloseNotify() {
    return SSL_shutdown(ssl_.get()) >= 0;
}

bool TlsClient::receiveCloseNotify() {
    return SSL_shutdown(ssl_.get()) == 1;
}

bool TlsClient::readExactly(void* buffer, std::size_t length) {
    auto* position = static_cast<char*>(buffer);
    while (length > 0) {
        std::size_t count = 0;
        if (SSL_read_ex(ssl_.get(), position, length, &count) != 1) {
            return false;
        }
        position += count;
        length -= count;
    }
    return true;
}

}  // namespace devemutest
