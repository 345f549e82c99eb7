// The byte stream to one device service, started through lockdown: the object behind an
// AMDServiceConnectionRef, and the transport of an AFC connection opened on it.
#ifndef PLOVIK_USBMUX_SERVICECONNECTION_H
#define PLOVIK_USBMUX_SERVICECONNECTION_H

#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace plovik::usbmux {

class ServiceConnection {
public:
    static constexpr uint32_t kDefaultReceiveTimeoutMs = 30000;
    // PLOVIK_RECEIVE_TIMEOUT_MS, when it holds a number of milliseconds from 100 to 600000,
    // replaces every receive time-out, the default and those callers set (for a slow device, or
    // a quick fault drill); 0 when it is not set or not such a number.
    static uint32_t receiveTimeoutOverrideMs();

    // Connects to the port lockdown started the service on, with TLS when the service asked for
    // it (EnableServiceSSL). Null on failure, with the idevice_error_t in *error.
    static std::shared_ptr<ServiceConnection> open(idevice_t device,
                                                   const lockdownd_service_descriptor& service,
                                                   int* error);
    ~ServiceConnection();
    ServiceConnection(const ServiceConnection&) = delete;
    ServiceConnection& operator=(const ServiceConnection&) = delete;

    // Sends all bytes: the count, or a negative idevice_error_t (nothing or only part was sent).
    // A device that takes nothing for the receive time-out fails the send, as it fails a receive.
    int64_t send(const void* bytes, size_t length);
    // Waits up to the receive time-out for bytes: the count (at most length), 0 when the peer
    // closed the stream, a negative idevice_error_t on failure or time-out.
    int64_t receive(void* buffer, size_t length);
    void setReceiveTimeout(uint32_t milliseconds);

    // Ends the stream at once, also for a call blocked in receive on another thread; every later
    // call fails. The socket itself is released with the last owner.
    void invalidate();

private:
    ServiceConnection(idevice_connection_t connection, int socket, bool tls);
    // libimobiledevice waits for a plain socket to take bytes without a bound, so plain streams
    // are written here, each wait bounded by the receive time-out.
    int64_t sendPlain(const char* bytes, size_t length);

    // One lock for both directions: a TLS session must not be read and written at once.
    std::mutex ioMutex_;
    idevice_connection_t connection_;
    int socket_;
    const bool tls_;
    std::atomic<uint32_t> receiveTimeoutMs_{
        receiveTimeoutOverrideMs() != 0 ? receiveTimeoutOverrideMs() : kDefaultReceiveTimeoutMs};
    std::atomic<bool> invalidated_{false};
};

}  // namespace plovik::usbmux

#endif
