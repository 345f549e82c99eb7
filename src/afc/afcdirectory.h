#pragma once

#include <mutex>

#include "device/amservice.h"

class AMDevice;

/**
 * One open AFC connection to an area of a device: the media area, the whole file system, or an
 * app's container. Every device-side file operation is a method of this class; the text of the
 * last failed one is errorText(). Releasing the object closes the connection.
 */
class AFCDirectory : public AMService {
public:
    ~AFCDirectory() override;

    /** Starts the area's service on the device and opens AFC over it. */
    virtual bool open(AMDevice& device);

    /** 0 empties errorText() and gives true; any other code leaves "<entryPoint> failed: <hex>". */
    bool reportResult(int code, const char* entryPoint);

    AFCConnectionRef connection() const { return connection_; }
    const char* serviceName() const { return serviceName_; }
    CZelboString errorText() const;

protected:
    explicit AFCDirectory(const char* serviceName) : serviceName_(serviceName) {}

    void setErrorText(CZelboString text);
    /** Opens AFC over the service connection already held; on failure errorText() is
        failureFormat filled with the result. */
    bool openConnection(const char16_t* failureFormat);

private:
    AFCConnectionRef connection_ = nullptr;
    const char* serviceName_;
    // Several threads use one connection (listing, transfers, thumbnails): the text is guarded.
    mutable std::mutex errorMutex_;
    CZelboString errorText_;
};
