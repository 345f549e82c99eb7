// The host's end of a lockdown session's TLS, as libimobiledevice 1.3.0 runs it over OpenSSL 3:
// a client on the socket itself that presents a certificate and key of the test's choosing and
// checks nothing of the device's, within the versions the test allows.
#ifndef PLOVIK_TESTS_TOOLS_TLSCLIENT_H
#define PLOVIK_TESTS_TOOLS_TLSCLIENT_H

#include "opensslpointers.h"
#include "plistitems.h"

#include <string>

namespace devemutest {

class TlsClient {
public:
    // certificate and key may be null: no client certificate then.
    TlsClient(int socket, X509* certificate, EVP_PKEY* key, int minVersion = TLS1_VERSION,
              int maxVersion = TLS1_3_VERSION);

    // A TLS 1.3 device that refuses the client's certificate says so only after this
    // succeeded: the next exchange fails then.
    bool handshake();
    // "TLSv1.3" and so on, once the handshake succeeded.
    std::string version() const;

    // One framed request inside TLS and its reply, null when none came.
    plovik::devemu::Plist exchange(plist_t request);
    // Sends the close_notify, as libimobiledevice's shutdown does first.
    bool sendCloseNotify();
    // Whether the device's close_notify is the next record; reads nothing beyond it.
    bool receiveCloseNotify();

private:
    bool readExactly(void* buffer, std::size_t length);

    plovik::devemu::SslContextPointer context_;
    plovik::devemu::SslPointer ssl_;
};

}  // namespace devemutest

#endif
