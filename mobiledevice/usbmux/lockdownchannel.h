// The connection to a device's lockdown service: plist messages, each a 4-byte big-endian length
// and the plist, in plain text and, once a session asks for it, inside TLS with the host's root
// certificate as the client certificate, as libimobiledevice speaks it.
//
// Every wait is bounded by the receive time-out, the TLS handshake's too: libimobiledevice 1.3.0's
// handshake loop sleeps 100 ms each time the device has not answered yet, which is most of what
// opening a session costs, and waits without a bound for a device that never answers.
#ifndef PLOVIK_USBMUX_LOCKDOWNCHANNEL_H
#define PLOVIK_USBMUX_LOCKDOWNCHANNEL_H

#include "lockdownclient.h"
#include "opensslpointers.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace plovik::usbmux {

class LockdownChannel {
public:
    static constexpr uint16_t kLockdownPort = 62078;
    // Larger messages are refused: no lockdown reply comes near it.
    static constexpr uint32_t kLargestMessage = 16 * 1024 * 1024;

    // Connects to the device's lockdown port; null with the lockdownd_error_t in *error.
    static std::unique_ptr<LockdownChannel> open(idevice_t device, lockdownd_error_t* error);
    // Ends TLS with a close_notify, if it is on, and closes the connection.
    ~LockdownChannel();
    LockdownChannel(const LockdownChannel&) = delete;
    LockdownChannel& operator=(const LockdownChannel&) = delete;

    // Sends an XML plist. LOCKDOWN_E_MUX_ERROR when the connection failed, RECEIVE_TIMEOUT when
    // the device took nothing in time, SSL_ERROR when TLS failed.
    lockdownd_error_t send(plist_t message);
    // Receives a dictionary, XML or binary; PLIST_ERROR for anything else.
    lockdownd_error_t receive(PlistHandle* message);
    // TLS from the next byte on, as the client, presenting certificatePem and keyPem (PEM texts,
    // either may be empty); TLS 1.0 only when tls10Only, for devices before iOS 10.
    lockdownd_error_t startTls(const std::string& certificatePem, const std::string& keyPem,
                               bool tls10Only);

private:
    using Deadline = std::chrono::steady_clock::time_point;

    LockdownChannel(idevice_connection_t connection, int socket, uint32_t timeoutMs);
    Deadline deadline() const;
    // Waits for events on the socket until deadline: false on time-out or failure.
    bool wait(short events, Deadline until) const;
    lockdownd_error_t write(const char* bytes, size_t length);
    lockdownd_error_t read(char* buffer, size_t length);
    lockdownd_error_t writePlain(const char* bytes, size_t length);
    lockdownd_error_t readPlain(char* buffer, size_t length);
    // One TLS call's result: retry (true) after waiting for what it wants, or the error.
    lockdownd_error_t awaitTls(int result, Deadline until, bool* retry);

    idevice_connection_t connection_;
    int socket_;
    uint32_t timeoutMs_;
    Ssl ssl_;
};

}  // namespace plovik::usbmux

#endif
