// The device's end of the TLS that a lockdown session runs on its connection, as a device's
// lockdownd speaks it: the server, with the pairing's device certificate and the device's key;
// the host must present the pairing's root certificate. TLS 1.2 and 1.3 (only 1.3 with the
// tls13-only fault), no session tickets. The socket is read a record at a time, so the plain
// bytes that follow the host's close_notify stay in the socket for the plain conversation.
// Outgoing records cross the device's link.
#ifndef PLOVIK_DEVEMU_TLSSESSION_H
#define PLOVIK_DEVEMU_TLSSESSION_H

#include "emulateddevice.h"
#include "opensslpointers.h"
#include "pairing.h"

#include <cstddef>
#include <memory>
#include <string>

namespace plovik::devemu {

class TlsSession {
public:
    enum class Received { Data, HostClosed, Failed };

    // Loads the device's key and runs the TLS engine once, as a device's lockdownd is ready
    // before a host comes.
    static void prepare();
    // Handshakes on the socket; null when the handshake fails, after the alert went out.
    static std::unique_ptr<TlsSession> accept(int socket, EmulatedDevice& device,
                                              const Pairing& pairing);

    // Exactly length plain bytes; HostClosed when the host ended TLS with a close_notify before
    // the first of them, Failed when the socket or the records fail.
    Received read(void* buffer, std::size_t length);
    bool write(const std::string& bytes);
    // Answers the host's close_notify with the device's own.
    bool answerClose();
    // As OpenSSL names it: "TLSv1.3", "TLSv1.2".
    std::string version() const;

private:
    TlsSession(int socket, EmulatedDevice& device, const Pairing& pairing);

    bool handshake();
    // Hands the engine the next record from the socket.
    bool feedRecord();
    // Sends what the engine wrote.
    bool flush();

    const int socket_;
    EmulatedDevice& device_;
    X509Pointer hostRoot_;
    SslContextPointer context_;
    SslPointer ssl_;
    BIO* incoming_ = nullptr;
    BIO* outgoing_ = nullptr;
};

}  // namespace plovik::devemu

#endif
