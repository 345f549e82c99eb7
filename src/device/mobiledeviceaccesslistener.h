#pragma once

class AMDevice;

/** Receives devices as they come and go, on the thread the device monitor's dispatcher chooses. */
class MobileDeviceAccessListener {
public:
    virtual ~MobileDeviceAccessListener() = default;
    /** A new device; the listener owns it from now on. */
    virtual void onDeviceConnected(AMDevice* device) = 0;
    /** That same device was removed; its handle is already cleared when this runs. */
    virtual void onDeviceDisconnected(AMDevice* device) = 0;
};
