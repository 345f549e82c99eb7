#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "device/mobiledeviceaccesslistener.h"
#include "values/object.h"

class AMDevice;

/**
 * The devices the monitor reported and that are still attached, in arrival order. Owns them: a
 * device that leaves stays alive (every call on it then fails), since a command may still hold it.
 * Events come on the library's thread.
 */
class AttachedDevices : public MobileDeviceAccessListener {
public:
    void onDeviceConnected(const std::shared_ptr<AMDevice>& device) override;
    void onDeviceDisconnected(const std::shared_ptr<AMDevice>& device) override;

    std::vector<AMDevice*> devices() const;
    /** Waits until done holds for the attached devices, or until timeout; true when it held. */
    bool waitFor(const std::function<bool(const std::vector<AMDevice*>&)>& done,
                 std::chrono::milliseconds timeout);

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::shared_ptr<AMDevice>> owned_;
    std::vector<AMDevice*> attached_;
};
