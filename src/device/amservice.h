#pragma once

#include <cstdint>

#include "device/mobiledevice.h"
#include "values/object.h"
#include "values/plistconversion.h"

/**
 * Base of every service client: holds the service connection a device started and frames
 * messages on it as a 4-byte big-endian length followed by an XML property list. Failures leave
 * a text in lastError(). Used by one thread at a time. Releasing the object closes the connection.
 */
class AMService : public ZelboLib::Object {
public:
    /** Replies above this size are refused unread: a device cannot make us allocate gigabytes. */
    static constexpr uint32_t kMaxMessageLength = 64u << 20;

    AMService() = default;
    ~AMService() override;

    virtual CZelboString lastError() const { return lastErrorText_; }

    /** Takes ownership of a started service connection (null for none). */
    void adoptServiceHandle(AMDServiceConnectionRef handle);
    AMDServiceConnectionRef serviceHandle() const { return serviceHandle_; }

    /** True when the whole message was sent. */
    bool sendMessage(plist_t message);
    /** The next message, or null (closed connection, time-out, a zero length, or no plist). */
    PlistPtr receiveMessage();

protected:
    void setLastErrorText(CZelboString text) { lastErrorText_ = std::move(text); }

private:
    bool sendAll(const void* bytes, size_t length);
    /** Fills the buffer; returns the count still missing when the connection ends first. */
    size_t receiveAll(void* buffer, size_t length);

    AMDServiceConnectionRef serviceHandle_ = nullptr;
    CZelboString lastErrorText_;
};
