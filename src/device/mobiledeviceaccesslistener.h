#pragma once

#include <memory>

class AMDevice;

/** Receives devices as they come and go, on the thread the device monitor's dispatcher chooses. */
class MobileDeviceAccessListener {
public:
    virtual ~MobileDeviceAccessListener() = default;
    /** A new device; the listener keeps it as long as it needs it. */
    virtual void onDeviceConnected(const std::shared_ptr<AMDevice>& device) = 0;
    /** That same device was removed; its handle is already cleared when this runs. */
    virtual void onDeviceDisconnected(const std::shared_ptr<AMDevice>& device) = 0;
};
